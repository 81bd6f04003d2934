#include "platform/out_of_memory.h"

#include <string>

#include "platform/message_sink.h"

namespace vireo {

const std::string_view kOutOfMemoryMessage =
    "Your system is out of memory!\nTry to close other running programs.\nIf you have worked in "
    "this session with other large message bases before, try to close Vireo and start it again, "
    "and go directly to this message base.\nIf this does not help, try to increase system's "
    "virtual memory.\nNOTE: Recovery of large message bases requires a system with a lot of RAM.";

void showOutOfMemory() { showMessageBox(std::string(kOutOfMemoryMessage)); }

}  // namespace vireo
