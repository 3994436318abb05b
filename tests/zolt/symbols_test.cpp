// The symbol table and the words that name symbols at the command prompt.
#include <gtest/gtest.h>

#include "zolt/zolt_fixture.h"

namespace {

class SymbolsTest : public ZoltFixture {
 protected:
  std::vector<std::string> SymbolNames() {
    std::vector<std::string> names;
    for (LinkListNode* n : zolt.State().symbols.List()) names.push_back(static_cast<ZoltSymbol*>(n)->name.str());
    return names;
  }
};

using Names = std::vector<std::string>;

TEST_F(SymbolsTest, NamesAreKeptInOrderAndFoundWhateverTheirCase) {
  Run({"define b", "Zeta = 1", "end", "define a", "alpha = B", "end", "define c", "ZETA = 2", "end"});
  EXPECT_EQ(SymbolNames(), (Names{"a", "alpha", "b", "c", "Zeta"}));
  EXPECT_EQ(Symbol("zeta"), Symbol("ZETA"));
  // With case sensitivity on, another spelling is another symbol.
  zolt.Clear(interp);
  SetCaseSensitive(true);
  Run({"define d", "zeta = 1", "Zeta = 2", "alpha = 3", "Alpha = 4", "end"});
  EXPECT_EQ(SymbolNames(), (Names{"Alpha", "Zeta", "alpha", "d", "zeta"}));
  EXPECT_NE(Symbol("zeta"), Symbol("Zeta"));
  // Turned off again, one spelling finds the first of them in list order.
  SetCaseSensitive(false);
  EXPECT_EQ(Symbol("ALPHA"), Symbol("Alpha"));
}

TEST_F(SymbolsTest, WordsThatNameSymbols) {
  Run({"define fn", "x = 'text'", "end", "fn"});
  EXPECT_EQ(Run({"print @nosuch"}), "Terrax>print @nosuch\n*** ZOLT symbol nosuch not found\n");
  EXPECT_EQ(Run({"@nosuch"}), "Terrax>@nosuch\n*** ZOLT symbol nosuch not found\n");
  EXPECT_EQ(Run({"nosuch"}), "Terrax>nosuch\n*** Bad command (nosuch)\n");
  // A quoted word is never a symbol, not even with an at-sign.
  EXPECT_EQ(Run({"print 'x'"}), "Terrax>print 'x'\n*** Unrecognized parameter 1 ('x')\n");
  EXPECT_EQ(Run({"print '@x'"}), "Terrax>print '@x'\n*** Unrecognized parameter 1 ('@x')\n");
  EXPECT_EQ(Run({"print x @x"}), "Terrax>print x @x\nx = text\nx = text\n");
  // Safe conversion: only the at-sign names a symbol.
  EXPECT_EQ(Run({"set safe_conversion on", "print x", "set safe_conversion off"}),
            "Terrax>set safe_conversion on\nTerrax>print x\n*** Unrecognized parameter 1 (x)\n"
            "Terrax>set safe_conversion off\n");
  EXPECT_EQ(Run({"set safe_conversion on", "print @x", "@fn", "fn", "set safe_conversion off"}),
            "Terrax>set safe_conversion on\nTerrax>print @x\nx = text\nTerrax>@fn\nTerrax>fn\n"
            "*** Bad command (fn)\nTerrax>set safe_conversion off\n");
  // The general commands come first: "set" stays SET whatever symbol exists.
  EXPECT_EQ(Run({"define set", "end", "set echo on"}), "Terrax>define set\n   Def>end\nTerrax>set echo on\n");
}

TEST_F(SymbolsTest, PrintShowsEachKindOfValue) {
  Run({"define fn", "ival = -12", "r = 2.5e-7", "big = 1.0e20", "s = 'a b'", "array a(2,2), e(3)", "a(1,2) = 'q'",
       "a(2,2) = 0.125", "p = 0", "end", "fn"});
  ASSERT_NE(Symbol("p"), nullptr);
  Symbol("p")->value.SetPointer(nullptr, 0);
  EXPECT_EQ(Run({"print ival r big s p a 1 2 a 2 2 a 2 e 3 e"}),
            "Terrax>print ival r big s p a 1 2 a 2 2 a 2 e 3 e\n"
            "ival = -12\nr = 2.5e-07\nbig = 1e+20\ns = a b\np =        0 (pointer)\na(1,2) = 'q'\na(2,2) = 0.125\n"
            "a:  array of dimension(s) (2,2)\ne(3) = 0\ne:  array of dimension(s) (3)\n");
}

TEST_F(SymbolsTest, NewEmptiesTheState) {
  Run({"define fn", "x = 1", "end", "fn"});
  zolt.State().options[2] = 1;
  zolt.State().calls[7].Append(new ZoltCallEntry);
  zolt.State().blocks.Append(new ZoltMemBlock(3));
  zolt.Clear(interp);
  EXPECT_EQ(zolt.State().statements.Count(), 0u);
  EXPECT_EQ(zolt.State().symbols.List().Count(), 0u);
  EXPECT_EQ(zolt.State().calls[7].Count(), 0u);
  EXPECT_EQ(zolt.State().blocks.Count(), 0u);
  EXPECT_EQ(zolt.State().options[2], 0);
  EXPECT_EQ(Run({"fn"}), "Terrax>fn\n*** Bad command (fn)\n");
}

}  // namespace
