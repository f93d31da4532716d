// The program's entry point on systems whose arguments are UTF-8 already.
#include "double_click.h"
#include "platform.h"

int main(int argc, char** argv)
{
    return RunReport(std::vector<std::string>(argv + 1, argv + argc), DescribeLaunch(),
                     {OpenWithDefaultProgram, WaitForEnter});
}
