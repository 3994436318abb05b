#include "modes/dynamic_module.h"

DynamicModule::DynamicModule() = default;

DynamicModule::~DynamicModule() = default;
