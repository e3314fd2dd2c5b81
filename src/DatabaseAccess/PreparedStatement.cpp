#include "PreparedStatement.h"

ParameterSink::~ParameterSink() = default;
