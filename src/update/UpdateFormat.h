#pragma once

#include <QString>

#include <functional>

// How the download window writes sizes, times and paths.
namespace nw {

// A number in a display pattern of '#' (optional digit), '0' (required digit), one '.' and an optional
// trailing '%' (multiplies by 100): formatNumber(0.5, "###.0") is ".5", formatNumber(0.42, "##0%") "42%".
QString formatNumber(double value, const QString& pattern);

// "512 bytes", "12 KB", "3.4 MB", "1.2 GB"; `format` replaces the pattern of the KB, MB and GB forms.
QString FormatFileSize(double bytes, const QString& format = QString());

// "42 sec", "3 min 7 sec", "2 hr 5 min".
QString FormatTime(double seconds);

// Shortens `text` around its middle ("abcd...wxyz") until `fits` accepts it or the ends get too short.
QString CompactLabelText(const QString& text, const std::function<bool(const QString&)>& fits);

// The part of `path` after its last separator ("/" for a URL, else the platform's), or the part up to
// and including it; the whole path when it has none.
QString ReturnFileOrFolder(const QString& path, bool returnFile, bool isURL);

} // namespace nw
