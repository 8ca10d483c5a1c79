#pragma once
// What the main frame asks of the picture sources while it opens and watches a
// target: the camera controller, the card source, the picture-access object, the
// drag-out drop source and the card's handshake file. They are built in
// viewer/sources (SourceTargetParts) and the browser (the drop source).
#include "viewer/shell/common/MessageIdRecord.h"

#include <string>

class TargetParts {
public:
    virtual ~TargetParts() = default;

    // Camera controller: made from a copy of the record and opened, or already
    // there. 0, or the raw result of the open step (the main frame maps it).
    virtual int OpenCameraController(const MessageIdRecord& record, const std::string& title1,
                                     const std::string& title2, bool* created) = 0;
    virtual bool HasCameraController() const = 0;
    virtual void CloseCameraConnection() = 0;  // keeps the object
    virtual void DeleteCameraController() = 0;
    // Target check of the camera (raw result code) for the browser's folder.
    virtual int CameraTargetStatus(const std::string& folder) = 0;

    // Card source.
    virtual bool HasCardSource() const = 0;
    virtual bool CreateCardSource() = 0;
    virtual void DeleteCardSource() = 0;
    // Target check of the card (raw result code): root = the record's drive.
    virtual int CardTargetStatus(const MessageIdRecord& record, const std::string& folder) = 0;
    // Whether the card's root can be reached (a card is in the reader).
    virtual bool IsInputCFCard(const MessageIdRecord& record) = 0;

    // Picture-access object: made once per run, and bound to the target that is
    // open by every CreatePictureAccess (a browser opened first holds it unbound).
    virtual bool HasPictureAccess() const = 0;
    virtual bool CreatePictureAccess() = 0;

    // The drag-out drop source of the open target.
    virtual bool CreateDropSource() = 0;

    // The card's order file asks for a transfer (handshake files).
    virtual bool IsTransferRequested(const MessageIdRecord& record) = 0;
};
