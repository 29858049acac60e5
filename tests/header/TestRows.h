#pragma once

#include <QTest>

namespace nw::test {

// One table row on one line: row("name", a, b, c) is QTest::newRow("name") << a << b << c.
template <typename... Values> void row(const char* name, const Values&... values)
{
    (QTest::newRow(name) << ... << values);
}

} // namespace nw::test
