#include "runtime/Table.h"

#include "runtime/Measure.h"

namespace ext {

void Table::row(std::ostream& os, const std::string& text)
{
    const int columns = static_cast<int>(widths.size());
    if (column >= columns)
        return;
    rowOpen = true;
    const int w = widths[static_cast<std::size_t>(column)];
    const int length = static_cast<int>(text.size());
    const int n = length < w ? length : w;
    os << '|' << std::string(static_cast<std::size_t>((w - n) / 2), ' ') << text
       << std::string(static_cast<std::size_t>((w - n + 1) / 2), ' ');
    if (++column == columns) {
        os << '|' << std::endl;
        rowOpen = false;
    }
}

void Table::finalize(std::ostream& os)
{
    while (rowOpen && column < static_cast<int>(widths.size()))
        row(os, " ");
}

void Table::line(std::ostream& os, char corner, char fill)
{
    finalize(os);
    if (widths.empty())
        return;
    for (int w : widths)
        os << corner << std::string(w > 0 ? static_cast<std::size_t>(w) : 0, fill);
    os << corner << std::endl;
}

void Table::delimeter(std::ostream& os)
{
    line(os, '+', '-');
}

void Table::gap(std::ostream& os)
{
    line(os, '|', ' ');
}

Table::Sentry::Sentry(std::ostream& os, Table& table) : out(os), tab(table)
{
    cell.copyfmt(os);
}

Table::Sentry::~Sentry()
{
    tab.finalize(out);
}

Table::Sentry& Table::Sentry::operator<<(int value)
{
    const auto base = cell.flags() & std::ios_base::basefield;
    if (base == std::ios_base::hex || base == std::ios_base::oct)
        cell << static_cast<unsigned>(value);
    else
        cell << value;
    return *this;
}

Table::Sentry& Table::Sentry::operator<<(unsigned value)
{
    cell << value;
    return *this;
}

Table::Sentry& Table::Sentry::operator<<(const char* text)
{
    cell << text;
    return *this;
}

Table::Sentry& Table::Sentry::operator<<(const std::string& text)
{
    cell << text;
    return *this;
}

Table::Sentry& Table::Sentry::operator<<(const Measure& measure)
{
    measure.put(cell);
    return *this;
}

Table::Sentry& Table::Sentry::operator<<(std::ios_base& (*manipulator)(std::ios_base&))
{
    manipulator(cell);
    return *this;
}

void Table::Sentry::nextrow()
{
    tab.row(out, cell.str());
    cell.str("");
}

Table::Sentry& nextrow(Table::Sentry& s)
{
    s.nextrow();
    return s;
}

Table::Sentry& beginrow(Table::Sentry& s)
{
    s.table().resetrow();
    return s;
}

Table::Sentry& delimeter(Table::Sentry& s)
{
    s.table().delimeter(s.stream());
    return s;
}

} // namespace ext
