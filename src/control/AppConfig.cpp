#include "control/AppConfig.h"

#include <windows.h>

namespace Vantor {

AppConfig& AppConfig::instance()
{
    static AppConfig config;
    return config;
}

bool AppConfig::isUtf8Encoding() const
{
    return CompareStringOrdinal(EncodeType.c_str(), -1, L"utf-8", -1, TRUE) == CSTR_EQUAL;
}

}  // namespace Vantor
