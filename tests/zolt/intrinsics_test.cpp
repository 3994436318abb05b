// The intrinsic functions: the dispatch by code range, the core set with its
// tables and memory blocks, and the binary file records at their limits.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "zolt/zolt_fixture.h"
#include "zolt/zolt_intrinsics.h"

namespace {

class IntrinsicsTest : public ZoltFixture {
 protected:
  // The error that running fn with the one-line body ends with.
  std::string ErrorOf(const std::string& body) { return Error(Run({"define fn", body, "end", "fn"})); }
};

TEST_F(IntrinsicsTest, CoreValues) {
  struct Case {
    const char* body;
    const char* printed;
  };
  const Case cases[] = {
      {"x = max(1, 2.5)", "x = 2\n"},
      {"x = max(2.5, 1)", "x = 2.5\n"},
      {"x = min(3, 2.9)", "x = 2\n"},
      {"x = sgn(0)", "x = 1\n"},
      {"x = type(sgn(0.0))", "x = 2\n"},
      {"x = sgn(-0.5)", "x = -1\n"},
      {"x = int(12.7)", "x = 12\n"},
      {"x = int(-12.7)", "x = -12\n"},
      {"x = int(null)", "x = 0\n"},
      {"x = round(-2.5)", "x = -2\n"},
      {"x = round(2.5)", "x = 3\n"},
      {"x = type('a')", "x = 3\n"},
      {"x = not(0)", "x = -1\n"},
      {"x = and(12, 10)", "x = 8\n"},
      {"x = abs(-3)", "x = 3\n"},
      {"x = float('2.5') * 2", "x = 5\n"},
      {"x = int('42')", "x = 42\n"},
      {"x = SQRT(16.0)", "x = 4\n"},
      {"x = rshift(-8, 1)", "x = -4\n"},
      {"x = lshift(1, 33)", "x = 2\n"},
      {"x = gen_ratio(1.0, 2, 4)", "x = 0.5\n"},
      {"x = dim", "x = 3\n"},
      {"x = chk_config('nosuch')", "x = 0\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(ValueOf({c.body}), c.printed) << c.body;
}

TEST_F(IntrinsicsTest, BadArgumentsAreRefused) {
  struct Case {
    const char* body;
    const char* error;
  };
  const Case cases[] = {
      {"x = sqrt(-1)", "negative argument to square root"},
      {"x = ln(0)", "zero or negative argument to LN function"},
      {"x = log(-1.0)", "zero or negative argument to LOG function"},
      {"x = or(1.5, 1)", "OR function needs integer arguments"},
      {"x = not(1.5)", "NOT functions needs an integer argument"},
      {"x = and(1.5, 1)", "Zolt execution error"},
      {"x = abs('a')", "Zolt execution error"},
      {"x = max('a', 1)", "Bad type conversion"},
      {"x = sgn('a')", "Bad type conversion"},
      {"x = error", "Error can be assigned only"},
      {"error = 'stop here'", "stop here"},
      {"x = fc_arg(10)", "Integer out of range"},
      {"x = get_mem(0)", "Integer out of range"},
      {"x = get_mem(-1)", "Integer out of range"},
      {"x = gen_ratio(2.0, 1, 0)", "Trying to divide by zero"},
      {"x = gen_ratio(1.0, 1, 0)", "Trying to divide by zero"},
      {"x = table('nosuch', 1)", "Table 'nosuch' not found"},
      {"table(9, 1.0) = 2.0", "Table intrinsics not valid"},
      {"x = inrange('nosuch', null)", "Range nosuch not found"},
      {"x = ch_numComponents", "Not configured for chemistry calculations."},
      {"dytime = 1.0", "Not configured for dynamic calculation"},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.body), c.error) << c.body;
}

TEST_F(IntrinsicsTest, DispatchRoutesByRangeAndFailsBeyond) {
  ZoltIntrinsicCall call;
  call.mode = ZoltIntrinsicCall::kFind;
  call.name = "SQRT";
  ASSERT_TRUE(zolt.CallIntrinsic(call));
  EXPECT_EQ(call.code, 19);
  call.name = "nzone";
  ASSERT_TRUE(zolt.CallIntrinsic(call));
  EXPECT_EQ(call.code, 1006);
  call.name = "nosuch";
  EXPECT_FALSE(zolt.CallIntrinsic(call));
  EXPECT_EQ(call.code, -1);
  // With case sensitivity on, SQRT is not sqrt.
  SetCaseSensitive(true);
  call.name = "SQRT";
  EXPECT_FALSE(zolt.CallIntrinsic(call));
  SetCaseSensitive(false);
  // Codes of 6000 and above, and ranges without a set, fail in every mode.
  for (int32_t code : {6000, 7123, 2000, 3001})
    for (uint32_t mode : {ZoltIntrinsicCall::kDescribe, ZoltIntrinsicCall::kAssign, ZoltIntrinsicCall::kEvaluate}) {
      call.mode = mode;
      call.code = code;
      EXPECT_FALSE(zolt.CallIntrinsic(call)) << code << " " << mode;
    }
  // A read-only core code in assign mode is answered and changes nothing.
  ZoltValue args[2];
  call.mode = ZoltIntrinsicCall::kAssign;
  call.code = 31;
  call.arguments = args;
  call.value.SetInt(5);
  EXPECT_TRUE(zolt.CallIntrinsic(call));
  EXPECT_TRUE(zolt.State().blocks.IsEmpty());
  // Describe gives the count, the flag and the letters.
  call.mode = ZoltIntrinsicCall::kDescribe;
  call.code = 42;
  ASSERT_TRUE(zolt.CallIntrinsic(call));
  EXPECT_EQ(call.argumentCount, 3);
  EXPECT_EQ(std::string(call.argumentLetters.c_str()), "avv");
  call.code = 33;
  ASSERT_TRUE(zolt.CallIntrinsic(call));
  EXPECT_EQ(call.readOnly, 0);
}

TEST_F(IntrinsicsTest, InClassifiesTheLine) {
  struct Case {
    const char* line;
    uint32_t tag;
  };
  const Case cases[] = {{"12", ZoltValue::kInteger}, {"1e5", ZoltValue::kFloat}, {"1E5", ZoltValue::kString},
                        {"12a", ZoltValue::kString}, {"", ZoltValue::kString},   {" -3.5 ", ZoltValue::kFloat}};
  for (const Case& c : cases) {
    ZoltValue v;
    ZoltClassifyInput(String(c.line), v);
    EXPECT_EQ(v.TypeTag(), c.tag) << c.line;
  }
  ZoltValue v;
  ZoltClassifyInput(String("1e5"), v);
  EXPECT_EQ(v.Float(), 100000.0);
}

// A freed block is never read through a stale pointer: every use is refused.
TEST_F(IntrinsicsTest, PointersIntoAFreedBlockAreRefused) {
  Run({"define fn", "p = get_mem(3)", "mem(p + 2) = 'kept'", "end", "fn"});
  EXPECT_EQ(ErrorOf("x = lose_mem(0, p + 1)"), "Memory pointer does not point to base of allocated memory");
  EXPECT_EQ(ValueOf({"x = mem(p + 2)"}), "x = kept\n");
  EXPECT_EQ(ErrorOf("x = mem(p + 3)"), "Memory pointer moved out of valid range");
  EXPECT_EQ(ValueOf({"x = lose_mem(0, p)"}), "x = 0\n");
  EXPECT_TRUE(zolt.State().blocks.IsEmpty());
  for (const char* body : {"x = mem(p)", "mem(p) = 1", "x = p + 1", "x = lose_mem(0, p)"})
    EXPECT_EQ(ErrorOf(body), "Bad memory pointer") << body;
}

// Tables in memory, as the table list offers them.
class MapTables : public ZoltTables {
 public:
  std::map<int32_t, std::vector<std::pair<double, double>>> tables;
  void* Find(int32_t number, const String* name, bool create) override {
    if (name) throw ZoltExcept("named tables not kept here");
    auto it = tables.find(number);
    if (it == tables.end()) {
      if (!create) throw ZoltExcept("Table not found");
      it = tables.emplace(number, std::vector<std::pair<double, double>>()).first;
    }
    return &it->second;
  }
  static std::vector<std::pair<double, double>>& T(void* t) {
    return *static_cast<std::vector<std::pair<double, double>>*>(t);
  }
  int32_t Size(void* t) override { return static_cast<int32_t>(T(t).size()); }
  double Interpolate(void* t, double) override { return T(t).empty() ? 0.0 : T(t).front().second; }
  void AddPoint(void* t, double x, double y) override { T(t).emplace_back(x, y); }
  void GetEntry(void* t, int32_t i, double& x, double& y) override {
    if (i < 0 || i >= Size(t)) throw ZoltExcept("Table index out of range");
    x = T(t)[static_cast<size_t>(i)].first;
    y = T(t)[static_cast<size_t>(i)].second;
  }
  void SetEntry(void* t, int32_t i, double x, double y) override {
    if (i < 0 || i > Size(t) + 1000000) throw ZoltExcept("Table index out of range");
    if (i >= Size(t)) T(t).resize(static_cast<size_t>(i) + 1);
    T(t)[static_cast<size_t>(i)] = {x, y};
  }
};

TEST_F(IntrinsicsTest, TableIntrinsicsGoThroughTheTableHook) {
  MapTables tables;
  SetZoltTables(&tables);
  EXPECT_EQ(ValueOf({"table(9, 1.0) = 2.0", "x = table(9, 1.0)"}), "x = 2\n");
  ASSERT_EQ(tables.tables.count(9), 1u);
  EXPECT_EQ(ValueOf({"x = xtable(9, 1)"}), "x = 1\n");
  EXPECT_EQ(ValueOf({"ytable(9, 1) = 4.5", "x = ytable(9, 1) + table_size(9)"}), "x = 5.5\n");
  EXPECT_EQ(ErrorOf("table(9, 2.0) = 'a'"), "Invalid assignment");
  EXPECT_EQ(ErrorOf("x = table(9, 'a')"), "Invalid argument type");
  EXPECT_EQ(ErrorOf("xtable(9, 2000000) = 1.0"), "Table index out of range");
  SetZoltTables(nullptr);
  EXPECT_EQ(ErrorOf("x = table_size(9)"), "Table 9 not found");
}

std::vector<unsigned char> Bytes(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

TEST_F(IntrinsicsTest, BinaryStringRecordsAreCutTo100Characters) {
  const char* name = "zolt_intrinsics_test.bin";
  std::remove(name);
  const std::string text(150, 'q');
  Run({"define fn", "array a(2)", "a(1) = '" + text + "'", "a(2) = 7", "s = open('" + std::string(name) + "', 1, 0)",
       "w = write(a, 2)", "c = close", "end", "fn"});
  // Check word, type 3, length 100, 100 characters, then the integer.
  const std::vector<unsigned char> bytes = Bytes(name);
  ASSERT_EQ(bytes.size(), 4u + 8u + 100u + 8u);
  EXPECT_EQ(bytes[0], 0x00);
  EXPECT_EQ(bytes[1], 0x52);
  EXPECT_EQ(bytes[2], 0xA0);
  EXPECT_EQ(bytes[3], 0x0A);
  EXPECT_EQ(bytes[8], 100);

  // A record longer than 100 written by another program is cut on reading,
  // its rest consumed: the next record still reads.
  {
    std::ofstream out(name, std::ios::binary);
    const unsigned char head[] = {0x00, 0x52, 0xA0, 0x0A, 3, 0, 0, 0, 150, 0, 0, 0};
    out.write(reinterpret_cast<const char*>(head), sizeof head);
    out << text << std::string(2, '\0');
    const unsigned char tail[] = {1, 0, 0, 0, 9, 0, 0, 0};
    out.write(reinterpret_cast<const char*>(tail), sizeof tail);
  }
  const std::string out = Run({"define rd", "array b(2)", "s = open('" + std::string(name) + "', 0, 0)",
                               "r = read(b, 2)", "n = b(2)", "l = b(1)", "c = close", "end", "rd", "print r n"});
  EXPECT_NE(out.find("r = 0\nn = 9\n"), std::string::npos) << out;
  EXPECT_EQ(Symbol("l")->value.Str().Length(), 100);

  // Appending writes the check word again: a reader meets it as a record
  // type and ends with -1.
  const std::string appended = Run(
      {"define ap", "array c(1)", "array d(3)", "c(1) = 5", "s = open('" + std::string(name) + "', 1, 0)",
       "w = write(c, 1)", "k = close", "s = open('" + std::string(name) + "', 2, 0)", "w = write(c, 1)", "k = close",
       "s = open('" + std::string(name) + "', 0, 0)", "r = read(d, 2)", "k = close", "end", "ap", "print r"});
  EXPECT_NE(appended.find("r = -1\n"), std::string::npos) << appended;
  std::remove(name);
}

TEST_F(IntrinsicsTest, FileErrorsCarryTheirCodes) {
  const char* name = "zolt_intrinsics_test.txt";
  std::remove(name);
  struct Case {
    std::vector<std::string> body;
    const char* error;
  };
  const std::string open = std::string("s = open('") + name + "', ";
  const Case cases[] = {
      {{"x = 1", "s = open('" + std::string(name) + "', 1, 1)", "r = read(x, 1)"},
       "Array size smaller than read/write request, or not array reference"},
      {{"array a2(1)", open + "1, 1)", "r = read(a2, 1)"}, "Read request, but file not open for reading"},
      {{"array a3(1)", open + "1, 1)", "a3(1) = 3", "r = write(a3, 1)"}, "Write array variable not a string"},
      {{"array a4(1)", open + "0, 1)", "r = write(a4, 1)"}, "Write request, but file not open for writing"},
      {{"x = parse(5, 1)"}, "Argument(s) bad to PARSE (e.g., not a string)"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines{"define fn"};
    lines.insert(lines.end(), c.body.begin(), c.body.end());
    lines.insert(lines.end(), {"end", "fn"});
    EXPECT_EQ(Error(Run(lines)), c.error) << c.body.back();
    Run({"define cl", "c = close", "end", "cl"});
  }
  std::remove(name);
}

}  // namespace
