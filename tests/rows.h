#pragma once

#include <QtTest>

#include <initializer_list>
#include <utility>

// A data-driven test's rows, each one value of a struct; the test takes it with QFETCH(Row, row).
template <typename Row>
void addRows(std::initializer_list<std::pair<const char*, Row>> rows) {
  QTest::addColumn<Row>("row");
  for (const auto& [name, row] : rows) {
    QTest::newRow(name) << row;
  }
}
