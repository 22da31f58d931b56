#include "KernelHidEndpoint.h"

KernelHidEndpoint::~KernelHidEndpoint() = default;
