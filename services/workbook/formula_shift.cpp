#include "services/workbook/formula_shift.h"

#include "services/workbook/cell_address.h"

#include <optional>

namespace iploc::workbook {
namespace {

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsWordChar(char c) {
    return IsLetter(c) || IsDigit(c) || c == '_' || c == '.' || c == '$' || c == '\\';
}

// Copies a quoted run ("text" or 'sheet name', the quote doubled inside) starting at `pos`.
std::size_t CopyQuoted(std::string_view formula, std::size_t pos, std::string& out) {
    const char quote = formula[pos];
    std::size_t i = pos + 1;
    while (i < formula.size()) {
        if (formula[i] == quote) {
            if (i + 1 < formula.size() && formula[i + 1] == quote) {
                i += 2;
                continue;
            }
            ++i;
            break;
        }
        ++i;
    }
    out.append(formula.substr(pos, i - pos));
    return i;
}

// Copies a bracketed run ([1], Table[[#This Row],[Col]]) starting at `pos`.
std::size_t CopyBracketed(std::string_view formula, std::size_t pos, std::string& out) {
    int depth = 0;
    std::size_t i = pos;
    for (; i < formula.size(); ++i) {
        if (formula[i] == '[') ++depth;
        if (formula[i] == ']' && --depth == 0) {
            ++i;
            break;
        }
    }
    out.append(formula.substr(pos, i - pos));
    return i;
}

struct Part {
    bool absolute = false;
    long value = 0; // column number or row number
};

// Letters of a column ("$AB" or "c"); false when the text is not one.
bool ParseColumn(std::string_view text, Part& part) {
    part.absolute = !text.empty() && text[0] == '$';
    text.remove_prefix(part.absolute ? 1 : 0);
    if (text.empty() || text.size() > 3) return false;
    part.value = 0;
    for (char c : text) {
        if (!IsLetter(c)) return false;
        part.value = part.value * 26 + ((c | 0x20) - 'a' + 1);
    }
    return part.value <= long(kMaxColumns);
}

bool ParseRow(std::string_view text, Part& part) {
    part.absolute = !text.empty() && text[0] == '$';
    text.remove_prefix(part.absolute ? 1 : 0);
    if (text.empty() || text.size() > 7 || text[0] == '0') return false;
    part.value = 0;
    for (char c : text) {
        if (!IsDigit(c)) return false;
        part.value = part.value * 10 + (c - '0');
    }
    return part.value <= long(kMaxRows);
}

// A moved column or row as text; empty when it leaves the sheet.
std::string Moved(Part part, long offset, bool column) {
    const long value = part.absolute ? part.value : part.value + offset;
    if (value < 1 || value > long(column ? kMaxColumns : kMaxRows)) return {};
    return (part.absolute ? "$" : "") +
           (column ? ColumnLetters(std::uint32_t(value)) : std::to_string(value));
}

// A word that is a cell reference ("B$3") moved; nullopt when the word is not one.
std::optional<std::string> MovedCell(std::string_view word, long rows, long columns) {
    std::size_t split = word[0] == '$' ? 1 : 0;
    while (split < word.size() && IsLetter(word[split]))
        ++split;
    Part column, row;
    if (!ParseColumn(word.substr(0, split), column) || !ParseRow(word.substr(split), row))
        return std::nullopt;
    const std::string c = Moved(column, columns, true), r = Moved(row, rows, false);
    return c.empty() || r.empty() ? "#REF!" : c + r;
}

// A word that is a whole column ("A") or whole row ("3") in a range like A:C or 1:3.
std::optional<std::string> MovedLine(std::string_view word, long rows, long columns) {
    Part part;
    if (ParseColumn(word, part)) {
        const std::string moved = Moved(part, columns, true);
        return moved.empty() ? "#REF!" : moved;
    }
    if (ParseRow(word, part)) {
        const std::string moved = Moved(part, rows, false);
        return moved.empty() ? "#REF!" : moved;
    }
    return std::nullopt;
}

} // namespace

std::string ShiftFormula(std::string_view formula, long rowOffset, long columnOffset) {
    std::string out;
    bool afterColon = false; // the previous token was ':' (second half of a line range)
    for (std::size_t i = 0; i < formula.size();) {
        const char c = formula[i];
        if (c == '"' || c == '\'') {
            i = CopyQuoted(formula, i, out);
        } else if (c == '[') {
            i = CopyBracketed(formula, i, out);
        } else if (IsWordChar(c)) {
            std::size_t end = i;
            while (end < formula.size() && IsWordChar(formula[end]))
                ++end;
            const std::string_view word = formula.substr(i, end - i);
            const char next = end < formula.size() ? formula[end] : '\0';
            std::optional<std::string> moved;
            if (next != '(' && next != '!') {
                moved = MovedCell(word, rowOffset, columnOffset);
                if (!moved && (next == ':' || afterColon)) moved = MovedLine(word, rowOffset, columnOffset);
            }
            out += moved ? *moved : std::string(word);
            i = end;
            afterColon = false;
            continue;
        } else {
            out += c;
            ++i;
        }
        afterColon = c == ':';
    }
    return out;
}

} // namespace iploc::workbook
