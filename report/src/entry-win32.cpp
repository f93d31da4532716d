// The program's entry point on Windows: UTF-16 arguments, so that every path
// reaches the report whole whatever the code page.
#include <cstdio>
#include <cwchar>
#include <fcntl.h>
#include <io.h>

#include "double_click.h"
#include "platform.h"
#include "utf8.h"

int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);  // the outputs' CR LF and LF exactly as formatted
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(Utf16ToUtf8(std::u16string(argv[i], argv[i] + wcslen(argv[i]))));
    return RunReport(args, DescribeLaunch(), {OpenWithDefaultProgram, WaitForEnter});
}
