#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

// Compile-time checking of printf formats against the values that will fill them. It lives in
// this header because the compiler must see all of it where a format is written.
namespace printf_check
{
enum class Argument
{
    Int,
    UnsignedInt,
    Long,
    UnsignedLong,
    LongLong,
    UnsignedLongLong,
    Double,
    LongDouble,
    Text,
    Pointer,
    Unsupported,
};

// Never defined: a check that reaches one of them stops the build, and the compiler's message
// names the fault.
void conversionDoesNotFitItsValue();
void moreConversionsThanValues();
void moreValuesThanConversions();
void unsupportedConversion();

// What a value of type T is once passed through `...`, after the default promotions.
template <typename T> constexpr Argument argumentOf()
{
    using Value = std::remove_cv_t<std::decay_t<T>>;
    if constexpr (std::is_same_v<Value, char*> || std::is_same_v<Value, const char*>)
    {
        return Argument::Text;
    }
    else if constexpr (std::is_pointer_v<Value>)
    {
        return Argument::Pointer;
    }
    else if constexpr (std::is_floating_point_v<Value>)
    {
        return std::is_same_v<Value, long double> ? Argument::LongDouble : Argument::Double;
    }
    else if constexpr (std::is_integral_v<Value> &&
                       (sizeof(Value) < sizeof(int) || std::is_same_v<Value, int>))
    {
        return Argument::Int;
    }
    else if constexpr (std::is_same_v<Value, unsigned>)
    {
        return Argument::UnsignedInt;
    }
    else if constexpr (std::is_same_v<Value, long>)
    {
        return Argument::Long;
    }
    else if constexpr (std::is_same_v<Value, unsigned long>)
    {
        return Argument::UnsignedLong;
    }
    else if constexpr (std::is_same_v<Value, long long>)
    {
        return Argument::LongLong;
    }
    else if constexpr (std::is_same_v<Value, unsigned long long>)
    {
        return Argument::UnsignedLongLong;
    }
    else
    {
        return Argument::Unsupported;
    }
}

enum class Length
{
    None,
    Char,
    Short,
    Long,
    LongLong,
    Max,
    Size,
    Difference,
    LongDouble,
};

constexpr bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

constexpr Length readLength(const char*& at)
{
    switch (*at)
    {
    case 'h':
        ++at;
        if (*at == 'h')
        {
            ++at;
            return Length::Char;
        }
        return Length::Short;
    case 'l':
        ++at;
        if (*at == 'l')
        {
            ++at;
            return Length::LongLong;
        }
        return Length::Long;
    case 'j':
        ++at;
        return Length::Max;
    case 'z':
        ++at;
        return Length::Size;
    case 't':
        ++at;
        return Length::Difference;
    case 'L':
        ++at;
        return Length::LongDouble;
    default:
        return Length::None;
    }
}

constexpr Argument signedArgument(Length length)
{
    switch (length)
    {
    case Length::None:
    case Length::Char:
    case Length::Short:
        return Argument::Int;
    case Length::Long:
        return Argument::Long;
    case Length::LongLong:
        return Argument::LongLong;
    case Length::Max:
        return argumentOf<std::intmax_t>();
    case Length::Size:
        return argumentOf<std::make_signed_t<std::size_t>>();
    case Length::Difference:
        return argumentOf<std::ptrdiff_t>();
    case Length::LongDouble:
        break;
    }
    return Argument::Unsupported;
}

constexpr Argument unsignedArgument(Length length)
{
    switch (length)
    {
    case Length::None:
    case Length::Char:
    case Length::Short:
        return Argument::UnsignedInt;
    case Length::Long:
        return Argument::UnsignedLong;
    case Length::LongLong:
        return Argument::UnsignedLongLong;
    case Length::Max:
        return argumentOf<std::uintmax_t>();
    case Length::Size:
        return argumentOf<std::size_t>();
    case Length::Difference:
        return argumentOf<std::make_unsigned_t<std::ptrdiff_t>>();
    case Length::LongDouble:
        break;
    }
    return Argument::Unsupported;
}

// The value a conversion takes, from its length modifier and conversion letter.
constexpr Argument expectedArgument(Length length, char conversion)
{
    switch (conversion)
    {
    case 'd':
    case 'i':
        return signedArgument(length);
    case 'u':
    case 'o':
    case 'x':
    case 'X':
        return unsignedArgument(length);
    case 'c':
        return length == Length::None ? Argument::Int : Argument::Unsupported;
    case 's':
        return length == Length::None ? Argument::Text : Argument::Unsupported;
    case 'p':
        return length == Length::None ? Argument::Pointer : Argument::Unsupported;
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
        if (length == Length::LongDouble)
        {
            return Argument::LongDouble;
        }
        return length == Length::None || length == Length::Long ? Argument::Double
                                                                : Argument::Unsupported;
    default:
        return Argument::Unsupported;
    }
}

template <std::size_t Count> class ArgumentList
{
public:
    explicit constexpr ArgumentList(const std::array<Argument, Count>& arguments)
        : m_arguments(arguments)
    {
    }

    constexpr void take(Argument expected)
    {
        if (expected == Argument::Unsupported)
        {
            unsupportedConversion();
        }
        if (m_next == Count)
        {
            moreConversionsThanValues();
        }
        const Argument actual = m_arguments.at(m_next++);
        // A text is a pointer too, and may be printed as one.
        if (actual != expected && !(expected == Argument::Pointer && actual == Argument::Text))
        {
            conversionDoesNotFitItsValue();
        }
    }

    constexpr void finish() const
    {
        if (m_next != Count)
        {
            moreValuesThanConversions();
        }
    }

private:
    std::array<Argument, Count> m_arguments;
    std::size_t m_next = 0;
};

template <std::size_t Count>
constexpr void check(const char* text, const std::array<Argument, Count>& arguments)
{
    ArgumentList<Count> values(arguments);
    for (const char* at = text; *at != '\0'; ++at)
    {
        if (*at != '%')
        {
            continue;
        }
        ++at;
        if (*at == '%')
        {
            continue;
        }
        while (*at == '-' || *at == '+' || *at == ' ' || *at == '#' || *at == '0')
        {
            ++at;
        }
        if (*at == '*')
        {
            values.take(Argument::Int);
            ++at;
        }
        while (isDigit(*at))
        {
            ++at;
        }
        if (*at == '.')
        {
            ++at;
            if (*at == '*')
            {
                values.take(Argument::Int);
                ++at;
            }
            while (isDigit(*at))
            {
                ++at;
            }
        }
        const Length length = readLength(at);
        values.take(expectedArgument(length, *at));
    }
    values.finish();
}
} // namespace printf_check

// A printf format checked, where it is written, against the types of the values that will fill
// its conversions: a conversion that does not fit its value, or a count of values that differs
// from the count of conversions, stops the build.
template <typename... Values> class PrintfFormat
{
public:
    // Not explicit: a string literal written where a PrintfFormat is taken becomes one.
    consteval PrintfFormat(const char* text) : m_text(text)
    {
        printf_check::check(text, std::array<printf_check::Argument, sizeof...(Values)>{
                                      printf_check::argumentOf<Values>()...});
    }

    [[nodiscard]] constexpr const char* text() const { return m_text; }

private:
    const char* m_text;
};
