// Korvel: command line, then the one machine of this run.
#include <cstdio>
#include <cstring>

static const char* const version = "0.12g";

static void print_usage()
{
    std::printf("usage: korvel [options] [argument text]\n"
                "  --help       this text\n"
                "  --version    the program's version\n");
}

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            print_usage();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Korvel %s\n", version);
            return 0;
        }
    }
    std::printf("Korvel %s (ZX-Mode)\n", version);
    return 0;
}
