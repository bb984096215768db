#pragma once

#include <QByteArray>

// Whether two secrets (digests, hashes) are equal, looking at every byte whatever the others
// hold, so the time taken tells nothing of how much of a guess was right.
inline bool SameBytesInConstantTime(const QByteArray &expected, const QByteArray &given)
{
    if (expected.size() != given.size())
        return false;
    volatile unsigned difference = 0;
    for (qsizetype i = 0; i < expected.size(); ++i)
        difference = difference | static_cast<unsigned char>(expected.at(i) ^ given.at(i));
    return difference == 0;
}
