#include "publish/FormEncoding.h"

QByteArray EncodeFormValue(const QString &text)
{
    static constexpr char Escaped[] = "!:/'#$%^&*";
    static constexpr char HexDigits[] = "0123456789ABCDEF";
    QByteArray encoded;
    for (const char byte : text.toUtf8()) {
        if (byte == ' ') {
            encoded += '+';
        } else if (byte != '\0' && std::char_traits<char>::find(Escaped, sizeof Escaped - 1, byte)) {
            const auto code = static_cast<unsigned char>(byte);
            encoded += '%';
            encoded += HexDigits[code >> 4];
            encoded += HexDigits[code & 0x0F];
        } else {
            encoded += byte;
        }
    }
    return encoded;
}
