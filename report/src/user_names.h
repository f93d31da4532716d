// Windows user names match whatever their case ("Tanaka" logs as tanaka_log
// on one PC and TANAKA_log on another); ASCII letters are folded, which covers
// the names that Windows accounts are made with here.
#pragma once
#include <string>
#include <string_view>

std::string FoldUserName(std::string_view user);
