#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

namespace nw {

// One line of the range table: an IPv4 block and the WHOIS server that answers for it.
struct RirEntry {
    QString range; // as written in the file; empty for the built-in entries
    quint32 base = 0;
    quint32 mask = 0xFFFFFFFFu;
    QString server;
    int port = 43;
    QString cmdPrefix;
    QString cmdSuffix;
};

// One line of the IPv6 range table: a prefix and the WHOIS server that answers for it.
struct Rir6Entry {
    QString range; // as written in the file
    QHostAddress base;
    int prefixLength = 0;
    QString server;
    int port = 43;
    QString cmdPrefix;
    QString cmdSuffix;
};

// One line of the server table: a top-level-domain pattern and the WHOIS server of that domain space.
struct TldEntry {
    QString description;
    QString server;
    int port = 43;
    QString pattern; // upper-cased labels; "*" matches any one label
    QString handle;
    QString cmdPrefix;
    QString cmdSuffix;
};

// True when `text` has the form of an IPv4 address: four dot-separated numbers, none above 255.
bool IsDottedQuad(const QString& text);
// The address value of dotted text, missing trailing octets counting as 0; 0 means invalid.
quint32 DottedToLong(const QString& text);
// Label-wise match from the right; "*" on either side matches any label; the shorter side decides.
bool MatchLabels(const QString& name, const QString& pattern);

// The range table (whois.rir) and the server table (whois.srv) of the program folder. A table whose
// file fails to load stays empty; the other is loaded independently.
class WhoisTables {
public:
    // Reads the range file: the six built-in entries, then the file's data lines in order. A bad line
    // is reported in a message box and leaves the table empty.
    void LoadRirTable();
    // Reads the server file in order; a bad line is reported and leaves the table empty.
    void LoadTldTable();
    // Reads the IPv6 range file (whois6.rir: PREFIX, SERVER[, PREFIX[, SUFFIX]], TAB-separated) and
    // checks it line by line as the range file is checked. Without the file the table stays empty, so
    // no IPv6 address finds a server.
    void LoadRir6Table();

    // The first range entry whose block holds `address`, or -1.
    int FindRirEntry(const QString& address) const;
    // The first IPv6 range entry whose prefix holds `address`, or -1.
    int FindRir6Entry(const QHostAddress& address) const;
    // The server entry for the name `name` (the first line when no pattern matches), or -1 when the
    // table is empty. Sets the label members and `domain`: the registered name that is queried.
    int FindTldEntry(const QString& name, QString* domain);

    const QList<RirEntry>& rirTable() const { return m_rirTable; }
    const QList<TldEntry>& tldTable() const { return m_tldTable; }
    const QList<Rir6Entry>& rir6Table() const { return m_rir6Table; }
    const QString& lastLabel() const { return m_lastLabel; }
    const QString& secondLastLabel() const { return m_secondLastLabel; }
    const QString& thirdLastLabel() const { return m_thirdLastLabel; }

    static QString rirPath();
    static QString tldPath();
    static QString rir6Path();
    // The built-in head of the range table.
    static QList<RirEntry> builtInRirEntries();

private:
    QList<RirEntry> m_rirTable;
    QList<TldEntry> m_tldTable;
    QList<Rir6Entry> m_rir6Table;
    QString m_lastLabel;
    QString m_secondLastLabel;
    QString m_thirdLastLabel;
};

} // namespace nw
