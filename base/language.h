#pragma once

#include <QString>
#include <cstdint>

namespace vell {

// The language of every text shown or logged: Langue 1 French, 2
// Portuguese, any other value English.
enum class Language { French, Portuguese, English };

[[nodiscard]] constexpr Language LanguageOf(int32_t langue)
{
    return langue == 1 ? Language::French : langue == 2 ? Language::Portuguese : Language::English;
}

// One text in the three languages, as UTF-8 literals, so that tables of
// texts stay data. A text that exists in French and English only leaves
// `portuguese` null and shows the English one there.
struct Trilingual
{
    const char *french;
    const char *english;
    const char *portuguese = nullptr;

    [[nodiscard]] QString in(Language language) const
    {
        switch (language) {
        case Language::French:
            return QString::fromUtf8(french);
        case Language::Portuguese:
            if (portuguese)
                return QString::fromUtf8(portuguese);
            break;
        case Language::English:
            break;
        }
        return QString::fromUtf8(english);
    }
    [[nodiscard]] QString in(int32_t langue) const { return in(LanguageOf(langue)); }
};

} // namespace vell
