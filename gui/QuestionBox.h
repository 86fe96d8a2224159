// Placeholder until the question box lands: the request and the runner type only.
#pragma once

#include "util/String.h"

#include <cstdint>
#include <functional>
#include <vector>

struct QuestionRequest {
    String title;
    String text;
    std::vector<String> buttons;
    int32_t defaultButton = 0;
    int32_t cancelButton = -1;
};
using QuestionRunner = std::function<int32_t(const QuestionRequest&)>;
