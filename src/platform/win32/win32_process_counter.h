// Counting processes by image name with a ToolHelp snapshot.
//
// This has the meaning of a management-service query for processes whose Name
// equals the given text (the image file name with extension, compared without
// regard to case), without its cost (a connection to the service once a
// second) and without its fault (an apostrophe in the name ended the quoted
// string of the query text): here a name is only ever compared, never parsed.
#pragma once

#include "platform/process_counter.h"

#include <string>

namespace vqd {

class Win32ProcessCounter final : public ProcessCounter {
public:
    int count(const std::string& image_name) override;
};

}  // namespace vqd
