#pragma once
// Fixed-width text table of the status dumps. Each cell is centred in its
// column between "|" bars; a text wider than its column is written in full.
// A row ends by itself after its last column; a cell written after that is
// dropped until the row is begun again (resetrow, or ext::beginrow).
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

struct Measure;

namespace ext {

class Table
{
public:
    Table() = default;
    explicit Table(int w1) { add(w1); }
    Table(int w1, int w2) : Table(w1) { add(w2); }
    Table(int w1, int w2, int w3) : Table(w1, w2) { add(w3); }
    Table(int w1, int w2, int w3, int w4) : Table(w1, w2, w3) { add(w4); }
    Table(int w1, int w2, int w3, int w4, int w5) : Table(w1, w2, w3, w4) { add(w5); }
    Table(int w1, int w2, int w3, int w4, int w5, int w6) : Table(w1, w2, w3, w4, w5) { add(w6); }
    Table(int w1, int w2, int w3, int w4, int w5, int w6, int w7) : Table(w1, w2, w3, w4, w5, w6) { add(w7); }

    void add(int width) { widths.push_back(width); }
    void init() { resetrow(); }
    void resetrow()
    {
        column = 0;
        rowOpen = false;
    }

    // Writes one cell of the current row.
    void row(std::ostream& os, const std::string& text);
    // Fills the rest of an open row with blank cells.
    void finalize(std::ostream& os);
    // finalize, then a line "+-----+----+".
    void delimeter(std::ostream& os);
    // finalize, then a line "|     |    |".
    void gap(std::ostream& os);

    // Collects the text of one cell at a time; finalizes the table when destroyed.
    class Sentry
    {
    public:
        Sentry(std::ostream& os, Table& table);
        Sentry(const Sentry&) = delete;
        Sentry& operator=(const Sentry&) = delete;
        ~Sentry();

        template <class T>
        Sentry& operator<<(const T& value)
        {
            cell << value;
            return *this;
        }
        // An int is written as unsigned when the cell's base is hex or octal.
        Sentry& operator<<(int value);
        Sentry& operator<<(unsigned value);
        Sentry& operator<<(const char* text);
        Sentry& operator<<(const std::string& text);
        Sentry& operator<<(const Measure& measure);
        Sentry& operator<<(std::ios_base& (*manipulator)(std::ios_base&));
        Sentry& operator<<(Sentry& (*manipulator)(Sentry&)) { return manipulator(*this); }

        // The collected text becomes a cell; the cell stream is emptied.
        void nextrow();
        Table& table() { return tab; }
        std::ostream& stream() { return out; }

    private:
        std::ostream& out;
        Table& tab;
        std::ostringstream cell;
    };

private:
    void line(std::ostream& os, char corner, char fill);

    std::vector<int> widths;
    int column = 0;
    bool rowOpen = false;
};

// Sentry manipulators.
Table::Sentry& nextrow(Table::Sentry& s);     // ends the current cell
Table::Sentry& beginrow(Table::Sentry& s);    // resets the row state
Table::Sentry& delimeter(Table::Sentry& s);   // a delimiter line

} // namespace ext
