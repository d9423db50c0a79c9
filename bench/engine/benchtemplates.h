#pragma once

// What the engine's figure programs share: the clock, the peak memory, and
// the templates measured by more than one of them.

#include "razmnozhator/lengthrule.h"

#include <chrono>
#include <string>
#include <string_view>

#include <sys/resource.h>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The largest resident size of this process so far.
inline double peakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024;
}

inline std::string repeated(const std::string &piece, std::size_t times)
{
    std::string text;
    text.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

// Direct's rule: the narrow characters . , ! : ; " « » (in CP1251) are not
// counted, and a line holds at most 15 of them.
inline razmnozhator::LengthRule directRule()
{
    razmnozhator::LengthRule rule;
    for (const unsigned char narrow : std::string_view(".,!:;\"\xAB\xBB"))
        rule.uncounted.set(narrow);
    rule.limited = rule.uncounted;
    rule.mostLimited = 15;
    return rule;
}

// 130 alternatives, each holding a pairs group: "[a|ah|{+|n0|t|hh}]" with
// other letters, 8^130 variants of 130 to 650 characters.
inline std::string pairsTemplate()
{
    std::string text;
    for (int i = 0; i < 130; ++i) {
        const auto letter = [i](int shift) { return char('a' + (i + shift) % 26); };
        text += std::string("[") + letter(0) + '|' + letter(0) + letter(7) + "|{+|" + letter(13) + "0|" + letter(19)
            + '|' + letter(7) + letter(7) + "}]";
    }
    return text;
}

// Text written in UTF-8 here, as the engine gets it: in Windows-1251, one
// byte a character. Only the letters and signs the templates below use.
inline std::string cp1251(const std::string &utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            out += char(byte);
            continue;
        }
        const unsigned code = ((byte & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3Fu);
        out += code == 0x401 ? '\xA8'
            : code == 0x451  ? '\xB8'
            : code == 0xAB   ? '\xAB'
            : code == 0xBB   ? '\xBB'
                             : char(code - 0x410 + 0xC0);
    }
    return out;
}

// An advertisement of 24 phrases, each with two or three wordings and
// followed by a comma, a full stop, an exclamation mark or nothing:
// 2^80 (1.2 * 10^24) lines of about 330 characters, 0 to 26 of them narrow.
inline std::string advertTemplate()
{
    static const char *const phrases[] = {
        "[Купите|Закажите] слона",
        "[Доставка|Привезём] [сегодня|завтра]",
        "[Скидка|Выгода] до 30 %",
        "[Гарантия|«Честная гарантия»] [год|два года]",
        "[Оплата|Расчёт] при получении",
        "[Только|Лишь] у нас",
        "[Большой|Огромный] выбор",
        "[Звоните|Пишите] [сейчас|прямо сейчас]",
        "[Опыт|Стаж] 15 лет",
        "[Бесплатная|Быстрая] консультация",
        "[Слоны|Слонята] [из Индии|из Африки]",
        "[Все|Любые] размеры",
        "[Мы рядом|Мы в центре]",
        "[Отзывы|Отклики] клиентов",
        "[Подарок|Сюрприз] к заказу",
        "[Работаем|Открыты] без выходных",
        "[Акция|Распродажа] [недели|месяца]",
        "[Надёжно|Проверено]",
        "[Сертификаты|Документы] в порядке",
        "[Уход|Забота] [включён|в подарок]",
        "[Выезд|Приезд] [мастера|специалиста]",
        "[Примерка|Знакомство] бесплатно",
        "[Цены|Тарифы] [от 100 руб|ниже рынка]",
        "[Ждём вас|Приходите]",
    };
    std::string text;
    for (const char *phrase : phrases) {
        text += cp1251(phrase);
        text += "[,|.|!|] ";
    }
    return text;
}

// 100 places, each one of five words followed by a comma or nothing:
// 10^100 lines.
inline std::string punctuatedWordsTemplate()
{
    static const char *const words[]
        = { "слон", "большой", "индийский", "добрый", "умный", "серый", "весёлый", "редкий", "домашний", "учёный" };
    std::string text;
    for (int place = 0; place < 100; ++place) {
        text += '[';
        for (int j = 0; j < 5; ++j) {
            if (j > 0)
                text += '|';
            text += cp1251(words[(place + j) % 10]);
        }
        text += "][,|] ";
    }
    return text;
}

} // namespace bench
