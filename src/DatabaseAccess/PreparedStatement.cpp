#include "PreparedStatement.h"

PreparedStatement::~PreparedStatement() = default;
