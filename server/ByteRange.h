#pragma once

#include <QByteArray>

#include <optional>

// What a request's Range header asks of a body of a known size. One range of bytes is
// served in part; everything else that is not plainly beyond the end (no header, another
// unit, several ranges, a malformed one such as "bytes=-" or "bytes=5-2") gets the whole
// body, as a server may answer any Range it does not serve in part.
namespace byterange {

enum class Kind { Whole, Part, Unsatisfiable };

struct Choice {
    Kind kind = Kind::Whole;
    qint64 first = 0; // both inclusive
    qint64 last = -1;
    qint64 length() const { return last - first + 1; }
};

Choice Choose(const std::optional<QByteArray> &header, qint64 size);

} // namespace byterange
