#include "feeds/JsonStream.h"

#include <QIODevice>

#include <charconv>
#include <cmath>
#include <limits>

namespace gw::feeds {

namespace {

    constexpr qint64 kChunk = 256 * 1024;
    constexpr int kMaxNumberLength = 64;

    bool isDigit(int c)
    {
        return c >= '0' && c <= '9';
    }

    int hexValue(int c)
    {
        if (isDigit(c))
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    void appendUtf8(QByteArray& out, char32_t code)
    {
        if (code < 0x80) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xC0 | (code >> 6));
            out += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += char(0xE0 | (code >> 12));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        } else {
            out += char(0xF0 | (code >> 18));
            out += char(0x80 | ((code >> 12) & 0x3F));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        }
    }

    // The grammar of a JSON number: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
    bool isJsonNumber(const char* p, const char* end)
    {
        if (p < end && *p == '-')
            ++p;
        if (p == end)
            return false;
        if (*p == '0')
            ++p;
        else if (isDigit(*p))
            while (p < end && isDigit(*p))
                ++p;
        else
            return false;
        if (p < end && *p == '.') {
            if (++p == end || !isDigit(*p))
                return false;
            while (p < end && isDigit(*p))
                ++p;
        }
        if (p < end && (*p == 'e' || *p == 'E')) {
            ++p;
            if (p < end && (*p == '+' || *p == '-'))
                ++p;
            if (p == end || !isDigit(*p))
                return false;
            while (p < end && isDigit(*p))
                ++p;
        }
        return p == end;
    }

} // namespace

JsonStream::JsonStream(QIODevice& device, int maxDepth, qsizetype maxString)
    : m_device(device)
    , m_maxDepth(maxDepth)
    , m_maxString(maxString)
{
}

bool JsonStream::fill()
{
    if (m_eof)
        return false;
    m_consumed += m_buffer.size();
    m_buffer.resize(kChunk);
    const qint64 got = m_device.read(m_buffer.data(), kChunk);
    m_buffer.resize(std::max<qint64>(got, 0));
    m_pos = 0;
    if (got <= 0)
        m_eof = true;
    return got > 0;
}

int JsonStream::peek()
{
    if (m_pos >= m_buffer.size() && !fill())
        return -1;
    return static_cast<unsigned char>(m_buffer[m_pos]);
}

int JsonStream::get()
{
    const int c = peek();
    if (c >= 0)
        ++m_pos;
    return c;
}

void JsonStream::skipBlanks()
{
    for (;;) {
        const int c = peek();
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            return;
        ++m_pos;
    }
}

JsonStream::Token JsonStream::fail(const QString& what)
{
    if (m_error.isEmpty())
        m_error = what + QStringLiteral(" at byte %1").arg(m_consumed + m_pos);
    m_state = State::Done;
    m_stack.clear();
    return Token::Error;
}

JsonStream::Token JsonStream::unexpected()
{
    const int c = peek();
    if (c < 0)
        return fail(QStringLiteral("the document ends early"));
    if (c >= 0x21 && c < 0x7F)
        return fail(QStringLiteral("unexpected '%1'").arg(QChar(c)));
    return fail(QStringLiteral("unexpected byte 0x%1").arg(c, 2, 16, QLatin1Char('0')));
}

JsonStream::Token JsonStream::next()
{
    if (!m_error.isEmpty())
        return Token::Error;
    skipBlanks();
    switch (m_state) {
    case State::Done:
        return peek() < 0 ? Token::End : fail(QStringLiteral("text after the document"));
    case State::Start:
    case State::ArrayValue:
        return readValue();
    case State::ArrayFirst:
        if (peek() == ']')
            return close(false);
        return readValue();
    case State::ObjectFirst:
        if (peek() == '}')
            return close(true);
        [[fallthrough]];
    case State::ObjectKey:
        if (peek() != '"')
            return unexpected();
        ++m_pos;
        return readString(Token::Key);
    case State::Colon:
        if (peek() != ':')
            return unexpected();
        ++m_pos;
        skipBlanks();
        return readValue();
    case State::AfterValue: {
        const bool object = m_stack.back();
        const int c = peek();
        if (c == (object ? '}' : ']'))
            return close(object);
        if (c != ',')
            return unexpected();
        ++m_pos;
        m_state = object ? State::ObjectKey : State::ArrayValue;
        return next();
    }
    }
    return unexpected();
}

JsonStream::Token JsonStream::close(bool object)
{
    ++m_pos;
    m_stack.pop_back();
    return afterValue(object ? Token::EndObject : Token::EndArray);
}

JsonStream::Token JsonStream::afterValue(Token token)
{
    m_state = m_stack.empty() ? State::Done : State::AfterValue;
    return token;
}

JsonStream::Token JsonStream::readValue()
{
    const int c = peek();
    if (c == '{' || c == '[') {
        if (depth() >= m_maxDepth)
            return fail(QStringLiteral("nested deeper than %1").arg(m_maxDepth));
        ++m_pos;
        m_stack.push_back(c == '{');
        m_state = c == '{' ? State::ObjectFirst : State::ArrayFirst;
        return c == '{' ? Token::BeginObject : Token::BeginArray;
    }
    if (c == '"') {
        ++m_pos;
        return readString(Token::String);
    }
    if (c == '-' || isDigit(c))
        return readNumber();
    if (c == 't' || c == 'f' || c == 'n')
        return readLiteral();
    return unexpected();
}

bool JsonStream::escape()
{
    const int c = get();
    switch (c) {
    case '"':
    case '\\':
    case '/':
        m_text += char(c);
        return true;
    case 'b':
        m_text += '\b';
        return true;
    case 'f':
        m_text += '\f';
        return true;
    case 'n':
        m_text += '\n';
        return true;
    case 'r':
        m_text += '\r';
        return true;
    case 't':
        m_text += '\t';
        return true;
    case 'u':
        break;
    default:
        return false;
    }
    auto hex4 = [this]() -> int {
        int code = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexValue(get());
            if (digit < 0)
                return -1;
            code = code * 16 + digit;
        }
        return code;
    };
    const int code = hex4();
    if (code < 0)
        return false;
    char32_t unicode = char32_t(code);
    if (code >= 0xD800 && code <= 0xDBFF && peek() == '\\') {
        ++m_pos;
        if (get() != 'u')
            return false;
        const int low = hex4();
        if (low < 0)
            return false;
        unicode = low >= 0xDC00 && low <= 0xDFFF ? char32_t(0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00))
                                                 : char32_t(0xFFFD);
    } else if (code >= 0xD800 && code <= 0xDFFF) {
        unicode = 0xFFFD; // half a pair: no character of its own
    }
    appendUtf8(m_text, unicode);
    return true;
}

JsonStream::Token JsonStream::readString(Token token)
{
    m_text.clear();
    for (;;) {
        // The plain run up to the next quote, escape or control byte at once.
        if (m_pos >= m_buffer.size() && !fill())
            return fail(QStringLiteral("the document ends inside a string"));
        const char* p = m_buffer.constData() + m_pos;
        const char* end = m_buffer.constData() + m_buffer.size();
        const char* run = p;
        while (run < end && *run != '"' && *run != '\\' && static_cast<unsigned char>(*run) >= 0x20)
            ++run;
        if (m_text.size() + (run - p) > m_maxString)
            return fail(QStringLiteral("a string longer than %1 bytes").arg(m_maxString));
        m_text.append(p, run - p);
        m_pos += run - p;
        if (run == end)
            continue;
        const int c = get();
        if (c == '"')
            break;
        if (c != '\\' || !escape()) {
            --m_pos;
            return c == '\\' ? fail(QStringLiteral("a broken escape in a string"))
                             : fail(QStringLiteral("a control byte in a string"));
        }
    }
    if (token == Token::Key) {
        m_state = State::Colon;
        return token;
    }
    return afterValue(token);
}

JsonStream::Token JsonStream::readNumber()
{
    char text[kMaxNumberLength + 1];
    int length = 0;
    for (int c = peek(); c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E' || isDigit(c); c = peek()) {
        if (length == kMaxNumberLength)
            return fail(QStringLiteral("a number longer than %1 characters").arg(kMaxNumberLength));
        text[length++] = char(c);
        ++m_pos;
    }
    if (!isJsonNumber(text, text + length))
        return fail(QStringLiteral("a malformed number"));
    const auto [end, ec] = std::from_chars(text, text + length, m_number);
    if (ec == std::errc::result_out_of_range) {
        // Out of range one way or the other: a large exponent (or mantissa) overflows, a large
        // negative exponent underflows.
        const std::string_view all(text, length);
        const size_t e = all.find_first_of("eE");
        const bool tiny = e != std::string_view::npos && e + 1 < all.size() && all[e + 1] == '-';
        const double magnitude = tiny ? 0.0 : std::numeric_limits<double>::infinity();
        m_number = text[0] == '-' ? -magnitude : magnitude;
    } else if (ec != std::errc() || end != text + length) {
        return fail(QStringLiteral("a malformed number"));
    }
    return afterValue(Token::Number);
}

JsonStream::Token JsonStream::readLiteral()
{
    static constexpr std::string_view kWords[] = { "true", "false", "null" };
    const int first = peek();
    for (const std::string_view word : kWords) {
        if (first != word.front())
            continue;
        for (const char expected : word) {
            if (peek() != static_cast<unsigned char>(expected))
                return unexpected();
            ++m_pos;
        }
        if (word == "null")
            return afterValue(Token::Null);
        m_bool = word == "true";
        return afterValue(Token::Bool);
    }
    return unexpected();
}

bool JsonStream::skip(Token begun)
{
    if (begun == Token::Error)
        return false;
    if (begun != Token::BeginObject && begun != Token::BeginArray)
        return true;
    const int until = depth() - 1;
    while (depth() > until) {
        const Token t = next();
        if (t == Token::Error || t == Token::End)
            return false;
    }
    return true;
}

} // namespace gw::feeds
