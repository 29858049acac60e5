#pragma once

#include <QList>
#include <QObject>

#include <memory>

// One test executable per subsystem holds several test classes: each registers itself here and the
// shared main runs them all.
namespace nw::test {

using Factory = std::unique_ptr<QObject> (*)();
inline QList<std::pair<const char*, Factory>>& testClasses()
{
    static QList<std::pair<const char*, Factory>> list;
    return list;
}

} // namespace nw::test

#define NW_TEST_CLASS(Class)                                                                                           \
    static const bool Class##_registered =                                                                             \
        (nw::test::testClasses().append({#Class, [] { return std::unique_ptr<QObject>(new Class); }}), true);
