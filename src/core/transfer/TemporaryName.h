#pragma once
// The name a file travels under, beside its final one, until it is whole and verified:
// no import that looks for the final names (or for ".txt") takes it.
#include <string>

inline std::string TemporaryName(const std::string& finalName)
{
    return finalName + ".part";
}
