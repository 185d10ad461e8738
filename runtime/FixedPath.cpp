#include "runtime/FixedPath.h"

#include <cstdlib>

std::string fixedPath(const char* path)
{
    const char* root = std::getenv("STALVANE_ROOT");
    if (root == nullptr || *root == '\0')
        return path;
    std::string result(root);
    if (!result.empty() && result.back() == '/' && path[0] == '/')
        result.pop_back();
    return result + path;
}
