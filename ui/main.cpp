// hdtree: lists a drive's folder tree in a window and saves it as a Shift-JIS report.
#include "hdtree/listing/listing_state.h"
#include "hdtree/ui/application.h"

namespace {

// The listing state exists before the program's own code runs and outlives the window and its
// event loop.
hdtree::ListingState listingState;

}  // namespace

int main(int argc, char** argv) {
  return hdtree::RunProgram(listingState, argc > 0 ? argv[0] : nullptr);
}
