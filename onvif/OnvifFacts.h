#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// What a recorder is told about this camera, gathered by the program for each answer.
struct OnvifFacts {
    QString serviceBase; // "http://address:port", as the recorder reached the program
    QString streamUri;   // the RTSP address of the live stream
    QString snapshotUri; // the still picture
    QString name;        // shown by recorders
    QString hardware;    // the camera
    QString uuid;        // "urn:uuid:...", the same on every start
    QString version;
    QString hostName;
    QStringList addresses;
    int width = 640;
    int height = 480;
    int framesPerSecond = 30;
    int bitrateKbps = 2000;
    int keyInterval = 45;
    QString audioEncoding; // "AAC" or "OPUS" while a microphone is chosen, else empty
    QDateTime now;
};
