#include "board/Dtmf.h"

namespace Dtmf {

namespace {

std::map<FrequencyPair, char> makeTable()
{
    static const unsigned rows[] = {697, 770, 852, 941};
    static const unsigned columns[] = {1209, 1336, 1477, 1633};
    static const char keys[4][5] = {"123A", "456B", "789C", "*0#D"};
    std::map<FrequencyPair, char> table;
    for (unsigned r = 0; r < 4; ++r)
        for (unsigned c = 0; c < 4; ++c)
            table.emplace(FrequencyPair(rows[r], columns[c]), keys[r][c]);
    return table;
}

} // namespace

const std::map<FrequencyPair, char> tonesValidator = makeTable();

} // namespace Dtmf
