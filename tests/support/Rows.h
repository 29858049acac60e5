#pragma once

#include <QTest>

#include <tuple>

namespace nw::test {

// columns<QString, int>("text", "count") declares a table's columns, typed in order.
template <typename... Types, typename... Names> void columns(const Names&... names)
{
    (QTest::addColumn<Types>(names), ...);
}

// row("name", a, b, c) is QTest::newRow("name") << a << b << c.
template <typename... Values> void row(const char* name, const Values&... values)
{
    (QTest::newRow(name) << ... << values);
}

// The current row's values, as QFETCH would give them: const auto [text, count] = fetch<QString, int>("text", "count").
template <typename... Types, typename... Names> std::tuple<Types...> fetch(const Names&... names)
{
    return {*static_cast<Types*>(QTest::qData(names, qMetaTypeId<Types>()))...};
}

} // namespace nw::test
