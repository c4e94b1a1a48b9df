// The calling thread's apartment.
#pragma once

namespace oleaut::detail {

bool apartmentInitialised();

}  // namespace oleaut::detail
