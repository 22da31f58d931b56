#include "ui/AlertPresenter.h"

AlertPresenter::~AlertPresenter() = default;
