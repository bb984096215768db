#include "app/Globals.h"

TFormMain *FormMain = nullptr;
TFormPreview *FormPreview = nullptr;
TFormChart *FormChart = nullptr;
TFormRequestedIPs *FormRequestedIPs = nullptr;
TFormBandwidth *FormBandwidth = nullptr;
TFormPublish *FormPublish = nullptr;
TFormManualIP *FormManualIP = nullptr;
TFormHide *FormHide = nullptr;
TFormSnapshotSettings *FormSnapshotSettings = nullptr;

bool Initialized = false;

CaptureDevice *Capture = nullptr;

bool GrabInProgress = false;
