#pragma once

#include <QString>
#include <QStringView>

// Splitting one "Received:" line into the sending host's name, its IP address, the receiving host and the
// time stamp. None of these reports an error: a step that cannot be done leaves the result as it stands.
namespace nw {

// One "Received:" line taken apart.
struct ReceivedHop {
    QString line;
    QString ip;
    QString fromHost;
    QString timeStamp;
    QString byHost;
    QString hostName; // reverse name of `ip`, filled by whoever looks it up
};

// The line with its ip, fromHost, timeStamp and byHost, each as its own routine finds it; the line is
// lower-cased and its from part cut only once.
ReceivedHop splitReceivedLine(const QString& line);

// The sending host's name claimed in the line's "from" part.
QString GetFromHost(const QString& line);
// The IP address of the line's "from" part: empty or a text for which IsIPAddress is true.
QString GetReceivedIP(const QString& line);
// The text between "by" and "with".
QString GetByHost(const QString& line);
// The date and time after the semicolon, from its weekday on, at most 31 characters.
QString GetTimeStamp(const QString& line);

// The first dotted IPv4 address in `s`: a run of digits and dots longer than 8 characters inside the text
// (trailing dots dropped), or the run that ends the text.
QString FindIPInText(const QString& s);
// Four dot-separated decimal numbers, each at most 255 (leading zeros allowed).
bool IsIPAddress(QStringView s);

} // namespace nw
