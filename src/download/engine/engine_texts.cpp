#include "download/engine/engine_texts.h"

#include "net/text_encoding.h"

namespace quivra {

std::string engineStateName(int code) {
    switch (code) {
        case kStateNoItem:
            return "NOITEM";
        case kStateError:
            return "ERROR";
        case kStatePause:
            return "PAUSE";
        case kStateDownload:
            return "DOWNLOAD";
        case kStateComplete:
            return "COMPLETE";
        case kStateStartPending:
            return "STARTPENDING";
        case kStateStopPending:
            return "STOPPENDING";
        default:
            return "";
    }
}

std::string engineErrorText(int code) {
    switch (code) {
        case kErrorUnknown:
            return localText("未知错误");
        case kErrorCreateFile:
            return localText("创建文件失败");
        case kErrorWriteFile:
            return localText("写文件失败");
        case kErrorReadFile:
            return localText("读文件失败");
        case kErrorRename:
            return localText("重命名失败");
        case kErrorPieceCheck:
            return localText("文件片校验失败");
        case kErrorFileCheck:
            return localText("文件全文校验失败");
        case kErrorDeleteFile:
            return localText("删除文件失败失败");
        case kErrorBadAddress:
            return localText("无效的DOWN地址");
        case kErrorProxyType:
            return localText("代理类型未知");
        case kErrorProxyLogin:
            return localText("代理认证失败");
        case kErrorNoAddress:
            return localText("http下载中无ip可用");
        case kErrorTimeout:
            return localText("任务超时");
        case kErrorCancelled:
            return localText("任务取消");
        case kErrorHelperCrashed:
            return localText("MINITP崩溃");
        case kErrorBadTask:
            return localText("TaskId 非法");
        default:
            return "";
    }
}

EngineError errorCodeFromAria2(int aria2Code, bool serverAnswered) {
    switch (aria2Code) {
        case 1:  // no cause of its own: after an answer, a connection cut or a body
                 // shorter than its length; before one, it may be anything
            return serverAnswered ? kErrorNoAddress : kErrorUnknown;
        case 2:  // time out
        case 5:  // too slow
            return kErrorTimeout;
        case 3:   // resource not found
        case 4:   // too many "not found" answers
        case 22:  // HTTP protocol error
        case 23:  // too many redirects
        case 24:  // HTTP authorisation failed
        case 28:  // the address or an option was rejected
            return kErrorBadAddress;
        case 6:   // network problem
        case 8:   // the server's answer does not continue the partial file
        case 19:  // name resolution failed
        case 29:  // service unavailable
            return kErrorNoAddress;
        case 13:  // file exists and may not be overwritten
        case 15:  // file could not be opened
        case 16:  // file could not be created
        case 18:  // folder could not be created
            return kErrorCreateFile;
        case 9:   // disk full
        case 17:  // file I/O error
            return kErrorWriteFile;
        case 14:  // renaming failed
            return kErrorRename;
        case 10:  // piece length changed
            return kErrorPieceCheck;
        case 32:  // checksum mismatch
            return kErrorFileCheck;
        case 7:   // halted with the download unfinished
        case 31:  // removed
            return kErrorCancelled;
        default:
            return kErrorUnknown;
    }
}

}  // namespace quivra
