// QorvClientATM for bank pages: the financial chip-card control, reached
// through the QorvClientATM browser extension and its native host.
//
//   import { QorvClientATM } from "./qorvclientatm.js";
//   const atm = await QorvClientATM.create();
//   const rc = await atm.ConnectCard(name);       // 0, a card status word or a PC/SC code
//   const atr = await atm.GetCardStatus();        // text, or null for the null string
//
// Every method resolves with exactly what the control answers: a number for a
// long result, a string or null for a text result. Only two kinds of failure
// reject: a QorvClientATMError for the bridge itself (extension or host
// missing, host gone, message too large) and an AutomationError for what the
// automation layer refuses (unknown name, unknown DISPID, wrong parameter count).

// [DISPID, name, [[parameter, type], ...], result type], in DISPID order.
const METHOD_TABLE = [
    [1, "ConnectReader", [], "long"],
    [2, "ListReaders", [], "long"],
    [3, "GetReaderNumber", [], "long"],
    [4, "GetReaderName", [["Offset", "long"]], "text"],
    [5, "DisconnectReader", [], "long"],
    [6, "ConnectCard", [["pReaderName", "text"]], "long"],
    [7, "DisconnectCard", [], "long"],
    [8, "ReConnectCard", [["pReaderName", "text"], ["reset_flag", "long"]], "long"],
    [9, "CheckCardInsert", [], "long"],
    [10, "GetCardStatus", [], "text"],
    [11, "GetReaderStatus", [["AttribID", "long"]], "text"],
    [12, "ListEF1001Accounts", [], "long"],
    [13, "GetEF1001TotalAccounts", [], "long"],
    [14, "GetEF1001Account", [["AccountNo", "long"]], "text"],
    [15, "ListEF1002Accounts", [], "long"],
    [16, "GetEF1002TotalAccounts", [], "long"],
    [17, "GetEF1002Account", [["AccountNo", "long"]], "text"],
    [18, "GetIssuerBank", [], "text"],
    [19, "GetICCRemark", [], "text"],
    [20, "ReadCardSN", [], "text"],
    [21, "VerifyPIN", [["pPwdStr", "text"]], "long"],
    [22, "VerifyPINEx", [["pPwdStr", "text"], ["pShowMsgStr", "text"]], "long"],
    [23, "VerifyPINSnd", [], "long"],
    [24, "VerifyPINSndEx", [["pShowMsgStr", "text"]], "long"],
    [25, "ChangePIN", [["pOldPwdStr", "text"], ["pNewPwdStr", "text"]], "long"],
    [26, "ChangePINEx", [["pOldPwdStr", "text"], ["pNewPwdStr", "text"], ["pShowMsgStr", "text"], ["pAccountNo", "text"]], "long"],
    [27, "ChangePINSnd", [["pAccountNo", "text"]], "long"],
    [28, "ChangePINSndEx", [["pShowMsgStr", "text"], ["pAccountNo", "text"]], "long"],
    [29, "AccountInquiry", [["pPCode", "text"], ["pFdChkCode", "text"], ["pAccountNumber", "text"]], "long"],
    [30, "AccountInquiryEx", [["pPCode", "text"], ["pFdChkCode", "text"], ["pAccountNumber", "text"], ["pReaderName", "text"], ["pPassword", "text"], ["pShowMsg", "text"]], "long"],
    [31, "AccountInquirySnd", [["pPCode", "text"], ["pFdChkCode", "text"], ["pAccountNumber", "text"], ["pReaderName", "text"]], "long"],
    [32, "AccountInquirySndEx", [["pPCode", "text"], ["pFdChkCode", "text"], ["pAccountNumber", "text"], ["pReaderName", "text"], ["pShowMsg", "text"]], "long"],
    [33, "AccountTransfer", [["pPCode", "text"], ["pFdid", "text"], ["pFdChkCode", "text"], ["pMoney", "text"], ["pImprtAccnt", "text"], ["pAccount", "text"]], "long"],
    [34, "AccountTransferEx", [["pPCode", "text"], ["pFdid", "text"], ["pFdChkCode", "text"], ["pMoney", "text"], ["pImprtAccnt", "text"], ["pAccount", "text"], ["pReaderName", "text"], ["pPassword", "text"], ["pShowMsg", "text"]], "long"],
    [35, "AccountTransferSnd", [["pPCode", "text"], ["pFdid", "text"], ["pFdChkCode", "text"], ["pMoney", "text"], ["pImprtAccnt", "text"], ["pAccount", "text"], ["pReaderName", "text"]], "long"],
    [36, "AccountTransferSndEx", [["pPCode", "text"], ["pFdid", "text"], ["pFdChkCode", "text"], ["pMoney", "text"], ["pImprtAccnt", "text"], ["pAccount", "text"], ["pReaderName", "text"], ["pShowMsg", "text"]], "long"],
    [37, "AccountPayment", [["pPCode", "text"], ["pFdid", "text"], ["pFdChkCode", "text"], ["pMoney", "text"], ["pPaymentType", "text"], ["pCancelNo", "text"], ["pAccount", "text"]], "long"],
    [38, "AccountPaymentEx", [["pPCode", "text"], ["pFdid", "text"], ["pFdChkCode", "text"], ["pMoney", "text"], ["pPaymentType", "text"], ["pCancelNo", "text"], ["pAccount", "text"], ["pReaderName", "text"], ["pPassword", "text"], ["pShowMsg", "text"]], "long"],
    [39, "AccountPaymentSnd", [["pPCode", "text"], ["pFdid", "text"], ["pFdChkCode", "text"], ["pMoney", "text"], ["pPaymentType", "text"], ["pCancelNo", "text"], ["pAccount", "text"], ["pReaderName", "text"]], "long"],
    [40, "AccountPaymentSndEx", [["pPCode", "text"], ["pFdid", "text"], ["pFdChkCode", "text"], ["pMoney", "text"], ["pPaymentType", "text"], ["pCancelNo", "text"], ["pAccount", "text"], ["pReaderName", "text"], ["pShowMsg", "text"]], "long"],
    [41, "AccountPayTax", [["pPCode", "text"], ["pFdid", "text"], ["pFdChkCode", "text"], ["pMoney", "text"], ["pAccount", "text"]], "long"],
    [42, "AccountPayTaxEx", [["pPCode", "text"], ["pFdid", "text"], ["pFdChkCode", "text"], ["pMoney", "text"], ["pAccount", "text"], ["pReaderName", "text"], ["pPassword", "text"], ["pShowMsg", "text"]], "long"],
    [43, "AccountPayTaxSnd", [["pPCode", "text"], ["pFdid", "text"], ["pFdChkCode", "text"], ["pMoney", "text"], ["pAccount", "text"], ["pReaderName", "text"]], "long"],
    [44, "AccountPayTaxSndEx", [["pPCode", "text"], ["pFdid", "text"], ["pFdChkCode", "text"], ["pMoney", "text"], ["pAccount", "text"], ["pReaderName", "text"], ["pShowMsg", "text"]], "long"],
    [45, "AccountWithdraw", [["pPCode", "text"], ["pFdid", "text"], ["pFdChkCode", "text"], ["pMoney", "text"], ["pAccount", "text"]], "long"],
    [46, "AccountWithdrawEx", [["pPCode", "text"], ["pFdid", "text"], ["pFdChkCode", "text"], ["pMoney", "text"], ["pAccount", "text"], ["pReaderName", "text"], ["pPassword", "text"], ["pShowMsg", "text"]], "long"],
    [47, "AccountWithdrawSnd", [["pPCode", "text"], ["pFdid", "text"], ["pFdChkCode", "text"], ["pMoney", "text"], ["pAccount", "text"], ["pReaderName", "text"]], "long"],
    [48, "AccountWithdrawSndEx", [["pPCode", "text"], ["pFdid", "text"], ["pFdChkCode", "text"], ["pMoney", "text"], ["pAccount", "text"], ["pReaderName", "text"], ["pShowMsg", "text"]], "long"],
    [49, "GetRespSNUM", [], "text"],
    [50, "GetRespTAC", [], "text"],
    [51, "GetRespDateTime", [], "text"],
    [52, "VerifyRN1andGenerateRN2", [["RN1Len", "long"], ["pCpukEncryptedRN1", "text"], ["DsigLen", "long"], ["pSprkSignRN1", "text"]], "long"],
    [53, "GetEncryptRN2", [], "text"],
    [54, "GetEncryptHashRN2", [], "text"],
    [55, "GetSessionKeyHash", [], "text"],
    [56, "VerifySessionKeyHash", [["pCpukEncSessionKey", "text"], ["pSessionKeyHash", "text"]], "long"],
    [57, "DESEncipher", [["pSessionKeyHash", "text"], ["pCpukEncSessionKey", "text"], ["DataLen", "long"], ["pData", "text"]], "long"],
    [58, "DESDecipher", [["pSessionKeyHash", "text"], ["pCpukEncSessionKey", "text"], ["DataLen", "long"], ["pData", "text"]], "long"],
    [59, "ConvertIntToHex", [["inLength", "long"], ["pInval", "text"]], "text"],
    [60, "ConvertHexToInt", [["inLength", "long"], ["pInval", "text"]], "text"],
    [61, "GetAPIVersion", [], "text"],
    [62, "DES", [["Opflag", "long"], ["KeyLen", "long"], ["KeyVal", "text"], ["inData", "text"]], "long"],
    [63, "MAC", [["KeyLen", "long"], ["KeyVal", "text"], ["ICV", "text"], ["inLen", "long"], ["inData", "text"]], "long"],
    [64, "GetRespLength", [], "long"],
    [65, "GetRespData", [], "text"],
    [66, "ListWinscardInfo", [], "long"],
    [67, "GetWinscardProperty", [["ListNo", "long"]], "text"],
    [111, "GetTransactionIssuer", [], "text"],
    [112, "GetTransactionRemark", [], "text"],
    [113, "GetTransactionAccount", [], "text"],
    [114, "TransferProc", [["pPCode", "text"], ["pFdid", "text"], ["pFdChkCode", "text"], ["pMoney", "text"], ["pAccount", "text"], ["pReaderName", "text"], ["pPassword", "text"], ["pShowMsg", "text"], ["pSessionKeyHash", "text"], ["pCpukEncSessionKey", "text"], ["CommonInfo", "text"], ["ServiceType", "text"]], "long"],
    [115, "TransferProcSnd", [["pPCode", "text"], ["pFdid", "text"], ["pFdChkCode", "text"], ["pMoney", "text"], ["pAccount", "text"], ["pReaderName", "text"], ["pShowMsg", "text"], ["pSessionKeyHash", "text"], ["pCpukEncSessionKey", "text"], ["CommonInfo", "text"], ["ServiceType", "text"]], "long"],
    [116, "CommAccountProc", [["pReaderName", "text"], ["pSessionKeyHash", "text"], ["pCpukEncSessionKey", "text"], ["pCommonInfo", "text"]], "long"],
    [117, "GetClearImportAccount", [], "text"],
    [118, "GetEncImportAccount", [], "text"],
    [119, "GetClearCommAcc", [], "text"],
    [120, "GetEncCommAcc", [], "text"],
    [121, "WriteRecordWithSNUMTAC", [["pReaderName", "text"], ["pApduCmd", "text"], ["pShowMsg", "text"], ["pPassword", "text"]], "long"],
    [122, "WriteRecordWithSNUMTACSnd", [["pReaderName", "text"], ["pApduCmd", "text"], ["pShowMsg", "text"]], "long"],];

export const METHODS = Object.freeze(
    METHOD_TABLE.map(([dispid, name, params, result]) =>
        Object.freeze({
            dispid,
            name,
            params: Object.freeze(params.map(([pname, type]) => Object.freeze({ name: pname, type }))),
            result,
        }),
    ),
);

const BRIDGE_PROPERTY = "QorvClientATMBridge";
const BRIDGE_READY_EVENT = "qorvclientatm:bridge-ready";

// A failure of the bridge between the page and the control.
export class QorvClientATMError extends Error {
    constructor(code, message, reason = null) {
        super(message);
        this.name = "QorvClientATMError";
        // NO_EXTENSION, NO_HOST, NOT_ALLOWED, HOST_EXITED, CLOSED, TOO_LARGE,
        // TOO_MANY_CONTROLS (the tab holds 4 already), BAD_ARGUMENT, BAD_REPLY
        this.code = code;
        // With NO_HOST, why the host is not reachable (HOST_UNREACHABLE_REASONS);
        // the message says what the customer can do.
        this.reason = reason;
    }
}

// Why a host is not reachable: not installed or registered for this browser
// (also a Snap or Flatpak browser, which cannot start it), registered for
// another bank's extension, ended at once, or no answer in time.
export const HOST_UNREACHABLE_REASONS = Object.freeze(["NOT_REGISTERED", "FORBIDDEN", "FAILED_TO_START", "NO_ANSWER"]);

// An error of the automation layer, e.g. DISP_E_UNKNOWNNAME; `hresult` is the
// signed 32-bit code the host reported.
export class AutomationError extends Error {
    constructor(name, hresult, message) {
        super(`${name} (0x${(hresult >>> 0).toString(16).padStart(8, "0")}): ${message}`);
        this.name = name;
        this.hresult = hresult;
        this.detail = message;
    }
}

function toError(error) {
    if (error && error.kind === "automation") {
        return new AutomationError(String(error.name), Number(error.code), String(error.message));
    }
    const code = error && typeof error.code === "string" ? error.code : "BAD_REPLY";
    const message = error && typeof error.message === "string" ? error.message : "bridge failure";
    const reason = code === "NO_HOST" && HOST_UNREACHABLE_REASONS.includes(error.reason) ? error.reason : null;
    return new QorvClientATMError(code, message, reason);
}

function waitForBridge(timeoutMs) {
    const present = globalThis[BRIDGE_PROPERTY];
    if (present) return Promise.resolve(present);
    return new Promise((resolve, reject) => {
        const onReady = () => {
            clearTimeout(timer);
            resolve(globalThis[BRIDGE_PROPERTY]);
        };
        const timer = setTimeout(() => {
            globalThis.removeEventListener(BRIDGE_READY_EVENT, onReady);
            const origin = globalThis.location ? globalThis.location.origin : "this page";
            reject(
                new QorvClientATMError(
                    "NO_EXTENSION",
                    `The QorvClientATM extension did not answer within ${timeoutMs} ms: it is ` +
                        `not installed, is disabled, or does not allow ${origin}.`,
                ),
            );
        }, timeoutMs);
        globalThis.addEventListener(BRIDGE_READY_EVENT, onReady, { once: true });
    });
}

export class QorvClientATM {
    // Waits for the extension (up to `timeoutMs`), then starts a control of
    // this page's own in the native host. Rejects with a QorvClientATMError
    // that says what is missing.
    static async create({ timeoutMs = 3000 } = {}) {
        const bridge = await waitForBridge(timeoutMs);
        let session;
        try {
            session = await bridge.open({ timeoutMs: Math.max(timeoutMs, 10000) });
        } catch (error) {
            throw toError(error);
        }
        return new QorvClientATM(session);
    }

    #session;

    constructor(session) {
        this.#session = session;
    }

    // Calls a method by name, as automation does (ASCII case ignored).
    invoke(name, ...params) {
        return this.#call({ method: String(name) }, params);
    }

    // Calls a method by DISPID.
    invokeDispid(dispid, ...params) {
        return this.#call({ dispid: Number(dispid) }, params);
    }

    // Ends this page's control: the host releases the reader session. Leaving
    // the page does the same.
    close() {
        this.#session.close();
    }

    get closed() {
        return this.#session.closed;
    }

    async #call(target, params) {
        try {
            return await this.#session.call(target, params);
        } catch (error) {
            throw toError(error);
        }
    }
}

for (const { name } of METHODS) {
    Object.defineProperty(QorvClientATM.prototype, name, {
        value: function (...params) {
            return this.invoke(name, ...params);
        },
        writable: false,
        enumerable: false,
        configurable: false,
    });
}

export default QorvClientATM;
