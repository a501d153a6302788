#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "device/IdentityText.h"

// UTF-16 units of well-formed UTF-8 as the C library decodes it, or -1.
static int Utf16Units(const std::string& text) {
    int units = 0;
    std::mbstate_t state{};
    for (std::size_t i = 0, n = 0; i < text.size(); i += n, ++units) {
        wchar_t c = 0;
        n = std::max<std::size_t>(std::mbrtowc(&c, &text[i], text.size() - i, &state), 1);
        if (n > 4 || c > 0x10FFFF) {
            return -1;
        }
        units += c > 0xFFFF;
    }
    return units;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return std::setlocale(LC_CTYPE, "C.UTF-8") ? 0 : (std::abort(), 1);
}

// The input as UTF-8 and as UTF-16 is shown as well-formed UTF-8 of at most 50 units that
// the clamp leaves as it is; UTF-8 that already fits is shown unchanged.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string utf8(reinterpret_cast<const char*>(data), size);
    std::u16string utf16(size / 2, u'\0');
    std::memcpy(utf16.data(), data, utf16.size() * 2);
    for (const std::string& shown :
         {velt::ClampIdentityText(utf8), velt::IdentityTextFromUtf16(utf16)}) {
        const int units = Utf16Units(shown);
        if (units < 0 || units > 50 || velt::ClampIdentityText(shown) != shown) {
            std::abort();
        }
    }
    const int units = Utf16Units(utf8);
    if (units >= 0 && units <= 50 && velt::ClampIdentityText(utf8) != utf8) {
        std::abort();
    }
    return 0;
}
