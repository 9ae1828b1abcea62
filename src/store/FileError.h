#pragma once
#include "common/AppError.h"

// A file could not be opened, written or created.
class FileError : public AppError {
public:
  using AppError::AppError;
};
