#pragma once

#include <gtest/gtest.h>

#include <QObject>
#include <QString>

// The child of `parent` of type T named `name`; the test fails, naming it, when there is none.
template <typename T>
T* FindControl(const QObject& parent, const char* name) {
    T* w = parent.findChild<T*>(QString::fromUtf8(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}
