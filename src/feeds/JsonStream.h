#pragma once
// A JSON document read token by token from a device, in chunks, so a feed of any size is
// read in a few hundred KiB. The grammar is checked as it goes (a bare NaN, a missing comma,
// text after the document are errors), containers nest at most `maxDepth` deep, and a string
// is at most `maxString` bytes. A number too large for a double reads as an infinity, one too
// small as zero: the grammar allows them, the caller decides what they are worth.
#include <QByteArray>
#include <QString>

#include <vector>

class QIODevice;

namespace gw::feeds {

class JsonStream
{
public:
    enum class Token { BeginObject, EndObject, BeginArray, EndArray, Key, String, Number, Bool, Null, End, Error };

    JsonStream(QIODevice& device, int maxDepth, qsizetype maxString);

    Token next();
    // After Key or String: the text, its escapes resolved, as UTF-8.
    const QByteArray& text() const { return m_text; }
    // After Number.
    double number() const { return m_number; }
    // After Bool.
    bool boolean() const { return m_bool; }
    // After Error: what was wrong and where, such as "unexpected 'N' at byte 57".
    const QString& error() const { return m_error; }
    // Open containers.
    int depth() const { return int(m_stack.size()); }

    // After a token that begins a value: reads past its end (a container with all it holds).
    // False on an error.
    bool skip(Token begun);
    // Reads the next value and skips it.
    bool skipValue() { return skip(next()); }

    // After BeginObject: `member(key)` for each member up to the object's end. `member` must
    // read the member's whole value (the key's text is valid until then) and returns false to
    // stop. False on an error or a stop.
    template <typename F> bool members(F&& member)
    {
        for (;;) {
            const Token t = next();
            if (t == Token::EndObject)
                return true;
            if (t != Token::Key || !member(m_text))
                return false;
        }
    }
    // After BeginArray: `element(first)` with each element's first token, which must read the
    // rest of it; false to stop.
    template <typename F> bool elements(F&& element)
    {
        for (;;) {
            const Token t = next();
            if (t == Token::EndArray)
                return true;
            if (t == Token::Error || !element(t))
                return false;
        }
    }
    // After the root value: true when only blanks follow.
    bool atEnd() { return next() == Token::End; }

private:
    enum class State { Start, ObjectFirst, ObjectKey, Colon, ArrayFirst, ArrayValue, AfterValue, Done };

    int peek();
    int get();
    void skipBlanks();
    bool fill();
    Token readValue();
    Token afterValue(Token token);
    Token close(bool object);
    Token readString(Token token);
    Token readNumber();
    Token readLiteral();
    bool escape();
    Token fail(const QString& what);
    Token unexpected();

    QIODevice& m_device;
    const int m_maxDepth;
    const qsizetype m_maxString;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qint64 m_consumed = 0; // bytes of the buffers before this one
    bool m_eof = false;
    std::vector<bool> m_stack; // true: an object
    State m_state = State::Start;
    QByteArray m_text;
    double m_number = 0;
    bool m_bool = false;
    QString m_error;
};

} // namespace gw::feeds
