#include "user_names.h"

std::string FoldUserName(std::string_view user)
{
    std::string folded(user);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}
