#pragma once

// GLib keeps every quark in one table and, when the table grows, drops the old one on
// purpose (lookups are lock-free). With a full set of plug-ins GStreamer's start grows it
// past its first block, so a leak checker reports that block at every exit and would hide
// our own leaks behind the noise. Called before GStreamer starts, this keeps the first
// block reachable in leak-checked builds; elsewhere it does nothing.
void KeepFirstQuarkTableReachable();
