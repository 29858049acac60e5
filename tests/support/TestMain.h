#pragma once

#include <QObject>

#include <functional>
#include <memory>

// One test executable per subsystem holds several test classes: each registers itself here and the
// shared main runs them all.
namespace nw::test {

using Factory = std::function<std::unique_ptr<QObject>()>;
bool registerTestClass(const char* name, Factory factory);

} // namespace nw::test

#define NW_TEST_CLASS(Class)                                                                                          \
    static const bool Class##_registered =                                                                             \
        nw::test::registerTestClass(#Class, [] { return std::unique_ptr<QObject>(new Class); });
