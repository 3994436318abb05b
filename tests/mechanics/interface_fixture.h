// A model with interfaces: a 2 x 2 x 1 brick grid of elastic zones, and a
// check of the mesh an interface's elements make.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "mechanics/interface.h"
#include "model/grid_fixture.h"

class InterfaceTest : public GridTest {
 protected:
  void SetUp() override {
    GridTest::SetUp();
    Run({"gen zone brick size 2 2 1", "model elastic"});
  }

  static Interface& Iface(uint32_t id) {
    Interface* i = Interfaces().Find(id);
    if (!i) throw std::runtime_error("no interface " + std::to_string(id));
    return *i;
  }

  static std::vector<InterfaceElem*> Elements(const Interface& iface) {
    std::vector<InterfaceElem*> out;
    for (InterfaceElem* e = iface.Elements().Head(); e; e = InterfaceElemList::Next(e)) out.push_back(e);
    return out;
  }

  static std::vector<uint32_t> CornerIds(const InterfaceElem& e) {
    return {e.Node(0)->id, e.Node(1)->id, e.Node(2)->id};
  }

  static double EdgeLength(const InterfaceElem& e, int k) {
    const double* a = e.Node(k)->position;
    const double* b = e.Node((k + 1) % 3)->position;
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
  }

  // The mesh holds together: every edge belongs to at most two elements,
  // two elements on one edge name each other across it, an edge of one
  // element is free. Answers the longest edge.
  static double CheckMesh(const Interface& iface) {
    std::map<std::pair<const void*, const void*>, std::vector<std::pair<InterfaceElem*, int>>> edges;
    double longest = 0.0;
    for (InterfaceElem* e : Elements(iface))
      for (int k = 0; k < 3; ++k) {
        const void* a = e->Node(k);
        const void* b = e->Node((k + 1) % 3);
        edges[{std::min(a, b), std::max(a, b)}].push_back({e, k});
        longest = std::max(longest, EdgeLength(*e, k));
      }
    for (const auto& [key, users] : edges) {
      EXPECT_LE(users.size(), 2u);
      if (users.size() == 1) {
        EXPECT_EQ(users[0].first->Neighbour(users[0].second), nullptr);
      }
      if (users.size() == 2) {
        EXPECT_EQ(users[0].first->Neighbour(users[0].second), users[1].first);
        EXPECT_EQ(users[1].first->Neighbour(users[1].second), users[0].first);
      }
    }
    return longest;
  }

  static double TotalArea(const Interface& iface) {
    double sum = 0.0;
    for (InterfaceElem* e : Elements(iface)) sum += e->Area();
    return sum;
  }
};
