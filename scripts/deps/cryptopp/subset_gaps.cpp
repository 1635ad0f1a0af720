// The few definitions that the compiled subset of Crypto++ needs from files it leaves out.
#include "config.h"
#include "misc.h"
#include "secblock.h"
#include "algparam.h"

NAMESPACE_BEGIN(CryptoPP)

// From integer.cpp: the word64 specialisation that misc.h declares.
template <> std::string IntToString<word64>(word64 value, unsigned int base)
{
    static const unsigned int HIGH_BIT = (1U << 31);
    const char CH = !!(base & HIGH_BIT) ? 'A' : 'a';
    base &= ~HIGH_BIT;
    if (value == 0)
        return "0";
    std::string result;
    while (value > 0) {
        const word64 digit = value % base;
        result = char((digit < 10 ? '0' : (CH - 10)) + digit) + result;
        value /= base;
    }
    return result;
}

// From dll.cpp: parameter templates that the compiled files refer to.
template class AlgorithmParametersTemplate<bool>;
template class AlgorithmParametersTemplate<int>;
template class AlgorithmParametersTemplate<ConstByteArrayParameter>;

NAMESPACE_END
