#pragma once

#include <QString>

// The version text: main window caption, first banner line, About box, status report.
inline const QString AppVersion = QStringLiteral("Vantrel v1.4.3");

inline const QString AppTitle = QStringLiteral("Vantrel");

inline const QString AuthorCredit = QStringLiteral("Written by the Vantrel developers");

// The maker's web server: home page and download page.
inline const QString MakerWebAddress = QStringLiteral("http://www.vantrel.net");
inline const QString DownloadPagePath = QStringLiteral("/Downloads/files/vantrel");

// The public webcam directory.
inline const QString DirectoryServerHost = QStringLiteral("www.quillon.net");
inline const QString DirectoryListPath = QStringLiteral("/cgi-bin/webcam_list.pl");
