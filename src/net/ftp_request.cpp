#include "net/ftp_request.h"

namespace quillharbor {

const char* toString(TFtpRequest request) {
    switch (request) {
        case TFtpRequest::None:
            return "none";
        case TFtpRequest::Open:
            return "open";
        case TFtpRequest::User:
            return "user";
        case TFtpRequest::Password:
            return "password";
        case TFtpRequest::ChangeDirectory:
            return "change directory";
        case TFtpRequest::Connect:
            return "connect";
        case TFtpRequest::Receive:
            return "receive";
        case TFtpRequest::NameList:
            return "name list";
        case TFtpRequest::MachineList:
            return "machine list";
        case TFtpRequest::Port:
            return "port";
        case TFtpRequest::Retrieve:
            return "retrieve";
        case TFtpRequest::Quit:
            return "quit";
        case TFtpRequest::Size:
            return "size";
        case TFtpRequest::FileSize:
            return "file size";
        case TFtpRequest::Type:
            return "type";
        case TFtpRequest::RestartOffset:
            return "restart offset";
        case TFtpRequest::RestartRetrieve:
            return "restart retrieve";
        case TFtpRequest::RestartReceive:
            return "restart receive";
    }
    return "?";
}

}  // namespace quillharbor
