#pragma once
// The program's arguments and standard streams, made alike on every system: arguments are byte
// texts (on Windows UTF-8, whatever the code page), and what the command line prints reaches its
// output byte for byte.

#include <string>
#include <vector>

namespace patchlens {

// The arguments after the program's name. On POSIX systems the bytes given; on Windows the
// UTF-16 command line, split as the C runtime splits it, in UTF-8 (argc and argv are not used).
std::vector<std::string> ProgramArguments(int argc, char **argv);

// Windows, a program of the window subsystem (patchlens.exe), which gets no console of its own:
// when its standard output or error leads nowhere (it was started from a command prompt without
// redirection), that stream is connected to the console of the prompt. Does nothing elsewhere, or
// when there is no such console.
void UseStartingConsole();

// While it lives, standard output and error are written byte for byte: on Windows no "\n" becomes
// "\r\n", and a console shows the UTF-8 it is sent (its code page is set back afterwards).
class ByteOutput {
public:
    ByteOutput();
    ~ByteOutput();
    ByteOutput(const ByteOutput &) = delete;
    ByteOutput &operator=(const ByteOutput &) = delete;

private:
    [[maybe_unused]] unsigned m_consoleCodePage = 0; // the console's own, to be set back; 0 for none
};

} // namespace patchlens
