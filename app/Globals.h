#pragma once

class TFormMain;
class TFormPreview;
class TFormChart;
class TFormRequestedIPs;
class TFormBandwidth;
class TFormPublish;
class TFormManualIP;
class TFormHide;
class TFormSnapshotSettings;
class CaptureDevice;

// The nine windows, created by the program entry in this order; all live until the program ends.
extern TFormMain *FormMain;
extern TFormPreview *FormPreview;
extern TFormChart *FormChart;
extern TFormRequestedIPs *FormRequestedIPs;
extern TFormBandwidth *FormBandwidth;
extern TFormPublish *FormPublish;
extern TFormManualIP *FormManualIP;
extern TFormHide *FormHide;
extern TFormSnapshotSettings *FormSnapshotSettings;

// True once the main window's first-show initialisation has run.
extern bool Initialized;

// The single capture object, made by the first-show initialisation.
extern CaptureDevice *Capture;

// True while a frame grab runs; a grab asked for meanwhile does nothing.
extern bool GrabInProgress;
