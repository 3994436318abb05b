// PRINT INTERFACE: the list of interfaces, one interface's summary and its
// node and element tables; and the integrity check of the elements' links.
#include <cmath>
#include <iomanip>
#include <ios>

#include "base/message.h"
#include "base/range.h"
#include "base/range_named.h"
#include "base/stream.h"
#include "mechanics/cmd_interface.h"
#include "mechanics/interface.h"
#include "model/model_interpreter.h"

namespace {

const char* const kTableWords =
    "elements join position area target stress model states property displacement shear host ctolerance velocity "
    "prestress small";
enum NodeTable {
  kPosition = 1,
  kArea,
  kTarget,
  kStress,
  kModel,
  kStates,
  kProperty,
  kDisplacement,
  kShear,
  kHost,
  kCTolerance,
  kVelocity,
  kPreStress,
  kSmall
};

const char* const kNodeHeaders[] = {
    "  ID         X           Y           Z\n------  ----------- ----------- -----------\n",
    "  ID            Normal              Area\n------  ------- ------- -------  -----------\n",
    "  ID    Zone--Face Penetration         Weighting Factors        Update\n"
    "------  ---------- ------------ ------- ------- ------- ------- ------\n",
    "  ID   Norm. Stress Shear Stress  Shear Stress Direction\n------ ------------ ------------  ------- ------- "
    "-------\n",
    "  ID   Model Name\n------ -------------------\n",
    "  ID   States\n------ --------------------\n",
    "  ID   Property             Value\n------ -------------------- -----------\n",
    "  ID      X-Disp.     Y-Disp.     Z-Disp.\n------  ----------- ----------- -----------\n",
    "  ID            Shear Displacement\n------  ----------- ----------- -----------\n",
    "  ID    Zone--Face        Weighting Factors\n------  -------- - ------- ------- ------- -------\n",
    "  ID    Contact Tolerance\n------  ------------\n",
    "  ID        X-Vel        Y-Vel.       Z-Vel\n------  ------------ ------------ ------------\n",
    "  ID    Pre-Stress\n------  ------------\n",
    "  ID      X-Disp.     Y-Disp.     Z-Disp.\n------  ----------- ----------- -----------\n",
};

void Header(ModelInterpreter& interp, const char* header) {
  interp << header;
  interp.flush();
  interp.SetPageHeader(String(header));
}

void Scientific(std::ostream& os, int precision) {
  os.setf(std::ios::scientific, std::ios::floatfield);
  os.precision(precision);
}

void Fixed(std::ostream& os, int precision) {
  os.setf(std::ios::fixed, std::ios::floatfield);
  os.precision(precision);
}

void Vector(std::ostream& os, const double v[3], int width) {
  os << "(" << std::setw(width) << v[0] << "," << std::setw(width) << v[1] << "," << std::setw(width) << v[2] << ")";
}

void Weights(std::ostream& os, const FaceWeights& w) {
  Fixed(os, 4);
  for (int k = 0; k < 4; ++k) os << (k ? " " : "") << std::setw(7) << w.weight[k];
}

void EndRow(ModelInterpreter& interp) {
  interp << "\n";
  interp.flush();
}

// One row of a node table, after the id.
void NodeRow(ModelInterpreter& interp, InterfaceNode& n, int table) {
  switch (table) {
    case kPosition:
      Scientific(interp, 3);
      Vector(interp, n.position, 11);
      break;
    case kArea:
      Fixed(interp, 3);
      Vector(interp, n.normal, 7);
      Scientific(interp, 3);
      interp << " " << n.area;
      break;
    case kTarget:
      if (n.HasTarget()) {
        interp << std::setw(8) << n.target.GetZone()->Id() << " " << n.target.Face() << " ";
        Scientific(interp, 4);
        interp << std::setw(12) << n.DistanceToTarget() << " ";
        Weights(interp, n.targetWeights);
      } else {
        interp << String(' ', 55);
      }
      interp << " " << ((n.flags & InterfaceNode::kKeepTarget) ? "No" : "Yes");
      break;
    case kStress: {
      const double* t = n.shearStress;
      const double magnitude = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
      double direction[3] = {0, 0, 0};
      if (magnitude > 0.0)
        for (int i = 0; i < 3; ++i) direction[i] = t[i] / magnitude;
      Scientific(interp, 4);
      interp << std::setw(12) << n.normalStress << " " << std::setw(12) << magnitude << " ";
      Fixed(interp, 4);
      Vector(interp, direction, 7);
      break;
    }
    case kModel:
      if (n.Model()) interp << n.Model()->Name();
      break;
    case kStates:
      if (n.Model()) interp << n.Model()->StateText();
      break;
    case kDisplacement:
      Scientific(interp, 3);
      Vector(interp, n.displacement, 11);
      break;
    case kShear:
      Scientific(interp, 3);
      Vector(interp, n.shearDisplacement, 10);
      break;
    case kHost:
      if (n.HasHost()) {
        interp << std::setw(8) << n.host.GetZone()->Id() << " " << n.host.Face() << " ";
        Weights(interp, n.hostWeights);
      }
      break;
    case kCTolerance:
      Scientific(interp, 4);
      interp << " " << n.contactTolerance;
      break;
    case kVelocity:
      Scientific(interp, 4);
      Vector(interp, n.velocity, 12);
      break;
    case kPreStress:
      Scientific(interp, 4);
      interp << std::setw(12) << n.stressAddition;
      break;
    case kSmall:
      Scientific(interp, 3);
      Vector(interp, n.smallDisplacement, 11);
      break;
    default:
      break;
  }
}

}  // namespace

void Interface::PrintNodes(ModelInterpreter& interp, int table) {
  Header(interp, kNodeHeaders[table - 1]);
  const Range& range = PrintRange();
  for (InterfaceNode* n = nodes_.Head(); n; n = InterfaceNodeList::Next(n)) {
    if (table == kPosition) n->UpdatePosition();
    if (!range.IsIn(n)) continue;
    if (table == kProperty) {
      const InterfaceModelBase* model = n->Model();
      for (int i = 0; model && i < model->NumberOfProperties(); ++i) {
        interp << std::setw(6) << n->id << " " << std::left << std::setw(20) << model->PropertyText(i).str()
               << std::right << " " << model->GetPropertyText(i);
        EndRow(interp);
      }
      continue;
    }
    interp << std::setw(6) << n->id << " ";
    NodeRow(interp, *n, table);
    EndRow(interp);
  }
}

void Interface::PrintElements(ModelInterpreter& interp, bool join) {
  if (join) {
    Header(interp, "  ID    Join-1 Join-2 Join-3\n------  ------ ------ ------\n");
    for (const InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e)) {
      interp << std::setw(6) << e->Id() << " ";
      for (int k = 0; k < 3; ++k) {
        interp << " ";
        if (e->Neighbour(k))
          interp << std::setw(6) << e->Neighbour(k)->Id();
        else
          interp << "      ";
      }
      EndRow(interp);
    }
    return;
  }
  Header(interp,
         "  ID    Node-1 Node-2 Node-3     Area              Normal\n"
         "------  ------ ------ ------  -----------  ------- ------- -------\n");
  for (const InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e)) {
    double normal[3];
    e->Normal(normal);
    interp << std::setw(6) << e->Id() << "  " << std::setw(6) << e->Node(0)->id << " " << std::setw(6) << e->Node(1)->id
           << " " << std::setw(6) << e->Node(2)->id << " ";
    Scientific(interp, 3);
    interp << std::setw(11) << e->Area() << " ";
    Fixed(interp, 4);
    Vector(interp, normal, 7);
    EndRow(interp);
  }
}

void Interface::Print(ModelInterpreter& interp) {
  PageGuard guard(interp);
  FormatKeeper keeper(interp);
  int word = 0;
  if (interp.MatchKeyword(kTableWords, word) == CommandType::kOk) {
    if (word <= 2)
      PrintElements(interp, word == 2);
    else
      PrintNodes(interp, word - 2);
    return;
  }
  // Without a table word the summary; a word of another listing is left for PRINT.
  Header(interp,
         "  ID     Nodes  Elements  Effective  Permeability \n"
         "------  ------- --------  ---------  ------------ \n");
  interp << std::setw(6) << id_ << " " << std::setw(7) << nodes_.Count() << " " << std::setw(8) << elements_.Count()
         << " " << std::setw(10) << YesNoText(effective) << " " << std::setw(10) << YesNoText(permeability);
  EndRow(interp);
}

void PrintInterfaceCommand(ModelInterpreter& interp) {
  int word = 0;
  if (interp.MatchKeyword("cellspace", word) == CommandType::kOk) {
    PageGuard guard(interp);
    Interfaces().Cells().Print(interp);
    return;
  }
  int32_t id = 0;
  if (interp.CheckInt(&id) == CommandType::kOk) {
    Interface* iface = id >= 0 ? Interfaces().Find(static_cast<uint32_t>(id)) : nullptr;
    if (!iface) throw InterfaceExcept(MessageText("Interface %s not found", IntToString(id)));
    iface->Print(interp);
    return;
  }
  PageGuard guard(interp);
  FormatKeeper keeper(interp);
  Header(interp, "  ID     Nodes  Elements\n------  ------- --------\n");
  for (const Interface* i = Interfaces().Head(); i; i = InterfaceList::Next(i)) {
    interp << std::setw(6) << i->Id() << " " << std::setw(7) << i->Nodes().Count() << " " << std::setw(8)
           << i->Elements().Count();
    EndRow(interp);
  }
}

void InterfaceIntegrityCommand(ModelInterpreter& interp) {
  interp << "\n";
  for (const Interface* i = Interfaces().Head(); i; i = InterfaceList::Next(i))
    if (!i->CheckElements(interp))
      interp << "Interface " << i->Id() << " is corrupted "
             << "\n";
}
