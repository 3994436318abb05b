// TABLE and PRINT TABLE.
#include <fstream>
#include <iomanip>

#include "base/command.h"
#include "base/message.h"
#include "base/stream.h"
#include "zolt/history_tables.h"
#include "zolt/table.h"

namespace {

// The table file: the name on the first line, then the count, the x step
// and the values (x and y when the step is 0, else y alone).
void ReadTableFile(Table& table, const String& fileName) {
  std::ifstream in(fileName.c_str());
  if (!in) throw KWRExcept(MessageText("Unable to open file %s", fileName));
  std::string line;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  table.SetName(String(line));
  long long n = 0;
  double step = 0.0;
  if (!(in >> n >> step)) throw KWRExcept(MessageText("Error reading file %s", fileName));
  for (long long i = 0; i < n; ++i) {
    double x = static_cast<double>(i) * step;
    double y = 0.0;
    if (step == 0.0 && !(in >> x)) throw KWRExcept(MessageText("Error reading file %s", fileName));
    if (!(in >> y)) throw KWRExcept(MessageText("Error reading file %s", fileName));
    table.Append(x, y);
  }
}

void PrintOne(CommandType& interp, Table& t) {
  PageGuard guard(interp);
  FormatKeeper keep(interp);
  interp << "Table " << t.Id() << "\\" << t.Name() << "\n";
  const char* header = " Entry        X            Y\n -----  ------------  ------------\n";
  interp << header;
  interp.SetPageHeader(String(header));
  interp << std::scientific << std::setprecision(4) << std::right;
  for (uint32_t i = 0; i < t.Count(); ++i) {
    const Table::Point p = t.Entry(i);
    interp << (t.SearchPosition() == i ? "*" : " ") << std::setw(5) << i + 1 << "  " << std::setw(12) << p.x << "  "
           << std::setw(12) << p.y << "\n";
    if (interp.EscPressed()) break;
  }
  interp.flush();
}

void PrintList(CommandType& interp) {
  PageGuard guard(interp);
  FormatKeeper keep(interp);
  interp << "List of Tables ...\n";
  const char* header =
      "Table Name           Entries  Minimum X   Minimum Y   Maximum X   Maximum Y\n"
      "----- -------------- ------- ----------- ----------- ----------- -----------\n";
  interp << header;
  interp.SetPageHeader(String(header));
  Table2List& list = Tables();
  for (uint32_t i = 1; i <= list.Count(); ++i) {
    Table& t = list.At(static_cast<int32_t>(i));
    double b[4];
    t.Bounds(b);
    interp << std::right << std::setw(5) << t.Id() << " " << std::left << std::setw(14) << t.Name().str().substr(0, 14)
           << " " << std::right << std::setw(7) << t.Count() << std::scientific << std::setprecision(3);
    for (double v : b) interp << " " << std::setw(11) << v;
    interp << "\n";
    if (interp.EscPressed()) break;
  }
  interp.flush();
}

}  // namespace

void TableCommand(CommandType& interp) {
  int32_t number = 0;
  int at = interp.TokenIndex();
  Table* table = nullptr;
  if (interp.CheckInteger(&number, &at) == CommandType::kOk) {
    interp.TokenIndex() = at;
    table = &Tables().GetOrCreateById(static_cast<uint32_t>(number));
  } else {
    table = &Tables().GetOrCreateByName(interp.GetString());
  }
  bool inserting = false;
  while (interp.HasToken()) {
    int word = 0;
    const int start = interp.TokenIndex();
    const int r = interp.MatchKeyword("insert sort position erase read name ", word);
    if (r == CommandType::kOk) {
      switch (word - 1) {
        case 0:
          inserting = true;
          break;
        case 1:
          inserting = true;
          table->Sort();
          break;
        case 2: {
          const int32_t i = interp.GetInt();
          double p[2];
          interp.GetVector2(p);
          table->SetAt(static_cast<int64_t>(i) - 1, p[0], p[1]);
          break;
        }
        case 3:
          table->Erase();
          break;
        case 4:
          ReadTableFile(*table, interp.GetFileName(nullptr));
          break;
        default:
          table->SetName(interp.GetString());
          break;
      }
      continue;
    }
    interp.TokenIndex() = start;
    double p[2];
    int idx = start;
    const int v = interp.CheckVector2(p, &idx);
    if (v != CommandType::kOk) {
      double first = 0.0;
      int probe = start;
      if (interp.CheckNumber(&first, &probe) == CommandType::kOk) interp.ThrowParamError(v, &idx);
      interp.ThrowParamError(r);
    }
    interp.TokenIndex() = idx;
    if (inserting)
      table->Insert(p[0], p[1]);
    else
      table->Append(p[0], p[1]);
  }
}

void PrintTableCommand(CommandType& interp) {
  if (!interp.HasToken()) {
    PrintList(interp);
    return;
  }
  PrintOne(interp, Tables().FindFromCommand(interp));
}
