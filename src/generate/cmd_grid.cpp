// GRID: a box of unit zones at the origin, made as a brick primitive.
#include "generate/gen_zone.h"
#include "generate/primitive.h"
#include "model/model_interpreter.h"

void GridCommand(ModelInterpreter& interp) {
  int32_t count[3];
  for (int32_t& n : count) {
    int at = interp.TokenIndex();
    n = interp.GetInt();
    // A box needs at least one zone along every side.
    if (n < 1) interp.ThrowParamError(CommandType::kConvert, &at);
  }
  ResetGenerateZoneOptions();
  PrimitiveOptions& options = GenerateZoneOptions();
  MeshPrimitive brick(kPrimBrick);
  brick.fill = options.fill;
  brick.merge = options.merge;
  for (int m = 0; m < 3; ++m) brick.size[m] = count[m];
  brick.BuildGrid(0.0, options.dimensions);
  brick.Generate(interp);
}
