#pragma once
// Switches of the web engine (Chromium) that every view of the program runs
// with. The engine reads them once, from QTWEBENGINE_CHROMIUM_FLAGS, when
// the first view is made; when that variable is set the engine ignores the
// program's command line, so the switches go into the variable.
//
// The pages must send nothing off the machine. Requests of a page pass the
// view's request filter; WebRTC's ICE (STUN) packets do not: the policy
// "disable_non_proxied_udp" leaves WebRTC no UDP at all (only a proxy, and
// the program has none). Qt WebEngine takes the policy as the value of
// --force-webrtc-ip-handling-policy. Measured here (Qt 6.4, Chromium 102),
// a page's RTCPeerConnection with a STUN server on loopback sends its
// requests with that switch absent, without a value, set to
// "default_public_interface_only" (what the view's WebRTCPublicInterfacesOnly
// setting gives) or beside --webrtc-ip-handling-policy (which this engine
// does not read); with the value above it sends nothing.

#include <QByteArray>

// `flags` (a QTWEBENGINE_CHROMIUM_FLAGS value) with the program's switches:
// the other switches are kept, one of the program's given with another
// value is replaced.
QByteArray WithProgramChromiumFlags(const QByteArray &flags);

// Adds the program's switches to QTWEBENGINE_CHROMIUM_FLAGS of this process.
// Call before the application object exists.
void AddProgramChromiumFlags();
