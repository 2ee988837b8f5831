// The console monitors' number input (host/monitor_input.h).
#include "host/monitor_input.h"

namespace {

bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\r'; }
bool is_space(int c) { return is_blank(c) || c == '\n' || c == '\v' || c == '\f'; }

int hex_digit(int c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void drop_line(FILE* in)
{
    int c;
    do
        c = std::getc(in);
    while (c != '\n' && c != EOF);
}

} // namespace

MonitorNumber monitor_read_number(FILE* in, uint32_t* value, bool same_line, FILE* out)
{
    int c;
    do
        c = std::getc(in);
    while (same_line ? is_blank(c) : is_space(c));
    if (c == EOF)
        return MonitorNumber::end;
    if (c == '\n')
        return MonitorNumber::none;

    char word[48];
    size_t length = 0, digits = 0;
    uint32_t v = 0;
    bool bad = false;
    for (; c != EOF && !is_space(c); c = std::getc(in)) {
        if (length + 1 < sizeof word)
            word[length] = static_cast<char>(c);
        ++length;
        if (length == 2 && (c == 'x' || c == 'X') && word[0] == '0') {
            digits = 0; // "0x" prefix
            continue;
        }
        const int d = hex_digit(c);
        if (d < 0) {
            bad = true;
        } else {
            v = v << 4 | static_cast<uint32_t>(d);
            ++digits;
        }
    }
    word[length < sizeof word ? length : sizeof word - 1] = '\0';
    if (bad || digits == 0) {
        if (c != '\n' && c != EOF)
            drop_line(in);
        std::fprintf(out, "Not a number: %s%s\n", word, length >= sizeof word ? "..." : "");
        std::fflush(out);
        return MonitorNumber::bad;
    }
    *value = v;
    while (is_blank(c))
        c = std::getc(in);
    if (c != '\n' && c != EOF)
        std::ungetc(c, in);
    return MonitorNumber::ok;
}

bool monitor_read_dump_end(FILE* in, uint16_t* last, void (*input_ended)(), FILE* out)
{
    uint32_t end = 0;
    const MonitorNumber got = monitor_read_number(in, &end, false, out);
    if (got == MonitorNumber::end)
        input_ended();
    if (got != MonitorNumber::ok)
        return false;
    *last = static_cast<uint16_t>(end > 0xFFFF ? 0xFFFF : end);
    return true;
}

MonitorNumber monitor_read_command(FILE* in, int* command, uint32_t* value, FILE* out)
{
    MonitorNumber got;
    do {
        *command = std::fgetc(in);
        got = *command == EOF ? MonitorNumber::end
              : *command == '\n' ? MonitorNumber::none
                                 : monitor_read_number(in, value, true, out);
    } while (got == MonitorNumber::bad);
    return got;
}
