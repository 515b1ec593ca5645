// Types of the QorvClientATM page library. A long result is a number; a text
// result is a string, or null for the null string, which differs from "".
// Text parameters accept null for the null string.

export type ParamType = "long" | "text";

export interface MethodInfo {
    readonly dispid: number;
    readonly name: string;
    readonly params: ReadonlyArray<{ readonly name: string; readonly type: ParamType }>;
    readonly result: ParamType;
}

/** The 79 served methods in DISPID order (1-67 and 111-122). */
export declare const METHODS: ReadonlyArray<MethodInfo>;

export type BridgeErrorCode =
    | "NO_EXTENSION"
    | "NO_HOST"
    | "NOT_ALLOWED"
    | "HOST_EXITED"
    | "CLOSED"
    | "TOO_LARGE"
    /** The tab already holds the most controls it may (4); close one first. */
    | "TOO_MANY_CONTROLS"
    | "BAD_ARGUMENT"
    | "BAD_REPLY";

/**
 * Why the host is not reachable (with NO_HOST): not installed or not registered
 * for this browser, or a Snap/Flatpak browser that cannot start it
 * (NOT_REGISTERED); registered for another bank's extension (FORBIDDEN); it
 * ended at once (FAILED_TO_START); it did not answer in time (NO_ANSWER).
 */
export type HostUnreachableReason = "NOT_REGISTERED" | "FORBIDDEN" | "FAILED_TO_START" | "NO_ANSWER";
export declare const HOST_UNREACHABLE_REASONS: ReadonlyArray<HostUnreachableReason>;

/** A failure of the bridge (extension, native host), never a method result. */
export declare class QorvClientATMError extends Error {
    readonly name: "QorvClientATMError";
    readonly code: BridgeErrorCode;
    /** With NO_HOST: why; null otherwise. The message says what to do. */
    readonly reason: HostUnreachableReason | null;
}

/** Refused by the automation layer, e.g. name "DISP_E_UNKNOWNNAME". */
export declare class AutomationError extends Error {
    /** DISP_E_UNKNOWNNAME, DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT, ... */
    readonly name: string;
    /** The signed 32-bit HRESULT, e.g. -2147352570. */
    readonly hresult: number;
    readonly detail: string;
}

export interface CreateOptions {
    /** How long to wait for the extension, in milliseconds (default 3000). */
    timeoutMs?: number;
}

export declare class QorvClientATM {
    static create(options?: CreateOptions): Promise<QorvClientATM>;
    /** Call by name (ASCII case ignored). */
    invoke(name: string, ...params: Array<string | number | null>): Promise<string | number | null>;
    /** Call by DISPID. */
    invokeDispid(dispid: number, ...params: Array<string | number | null>): Promise<string | number | null>;
    /** End this page's control and its reader session. */
    close(): void;
    readonly closed: boolean;

    /** DISPID 1 */
    ConnectReader(): Promise<number>;
    /** DISPID 2 */
    ListReaders(): Promise<number>;
    /** DISPID 3 */
    GetReaderNumber(): Promise<number>;
    /** DISPID 4 */
    GetReaderName(Offset: number): Promise<string | null>;
    /** DISPID 5 */
    DisconnectReader(): Promise<number>;
    /** DISPID 6 */
    ConnectCard(pReaderName: string | null): Promise<number>;
    /** DISPID 7 */
    DisconnectCard(): Promise<number>;
    /** DISPID 8 */
    ReConnectCard(pReaderName: string | null, reset_flag: number): Promise<number>;
    /** DISPID 9 */
    CheckCardInsert(): Promise<number>;
    /** DISPID 10 */
    GetCardStatus(): Promise<string | null>;
    /** DISPID 11 */
    GetReaderStatus(AttribID: number): Promise<string | null>;
    /** DISPID 12 */
    ListEF1001Accounts(): Promise<number>;
    /** DISPID 13 */
    GetEF1001TotalAccounts(): Promise<number>;
    /** DISPID 14 */
    GetEF1001Account(AccountNo: number): Promise<string | null>;
    /** DISPID 15 */
    ListEF1002Accounts(): Promise<number>;
    /** DISPID 16 */
    GetEF1002TotalAccounts(): Promise<number>;
    /** DISPID 17 */
    GetEF1002Account(AccountNo: number): Promise<string | null>;
    /** DISPID 18 */
    GetIssuerBank(): Promise<string | null>;
    /** DISPID 19 */
    GetICCRemark(): Promise<string | null>;
    /** DISPID 20 */
    ReadCardSN(): Promise<string | null>;
    /** DISPID 21 */
    VerifyPIN(pPwdStr: string | null): Promise<number>;
    /** DISPID 22 */
    VerifyPINEx(pPwdStr: string | null, pShowMsgStr: string | null): Promise<number>;
    /** DISPID 23 */
    VerifyPINSnd(): Promise<number>;
    /** DISPID 24 */
    VerifyPINSndEx(pShowMsgStr: string | null): Promise<number>;
    /** DISPID 25 */
    ChangePIN(pOldPwdStr: string | null, pNewPwdStr: string | null): Promise<number>;
    /** DISPID 26 */
    ChangePINEx(pOldPwdStr: string | null, pNewPwdStr: string | null, pShowMsgStr: string | null, pAccountNo: string | null): Promise<number>;
    /** DISPID 27 */
    ChangePINSnd(pAccountNo: string | null): Promise<number>;
    /** DISPID 28 */
    ChangePINSndEx(pShowMsgStr: string | null, pAccountNo: string | null): Promise<number>;
    /** DISPID 29 */
    AccountInquiry(pPCode: string | null, pFdChkCode: string | null, pAccountNumber: string | null): Promise<number>;
    /** DISPID 30 */
    AccountInquiryEx(pPCode: string | null, pFdChkCode: string | null, pAccountNumber: string | null, pReaderName: string | null, pPassword: string | null, pShowMsg: string | null): Promise<number>;
    /** DISPID 31 */
    AccountInquirySnd(pPCode: string | null, pFdChkCode: string | null, pAccountNumber: string | null, pReaderName: string | null): Promise<number>;
    /** DISPID 32 */
    AccountInquirySndEx(pPCode: string | null, pFdChkCode: string | null, pAccountNumber: string | null, pReaderName: string | null, pShowMsg: string | null): Promise<number>;
    /** DISPID 33 */
    AccountTransfer(pPCode: string | null, pFdid: string | null, pFdChkCode: string | null, pMoney: string | null, pImprtAccnt: string | null, pAccount: string | null): Promise<number>;
    /** DISPID 34 */
    AccountTransferEx(pPCode: string | null, pFdid: string | null, pFdChkCode: string | null, pMoney: string | null, pImprtAccnt: string | null, pAccount: string | null, pReaderName: string | null, pPassword: string | null, pShowMsg: string | null): Promise<number>;
    /** DISPID 35 */
    AccountTransferSnd(pPCode: string | null, pFdid: string | null, pFdChkCode: string | null, pMoney: string | null, pImprtAccnt: string | null, pAccount: string | null, pReaderName: string | null): Promise<number>;
    /** DISPID 36 */
    AccountTransferSndEx(pPCode: string | null, pFdid: string | null, pFdChkCode: string | null, pMoney: string | null, pImprtAccnt: string | null, pAccount: string | null, pReaderName: string | null, pShowMsg: string | null): Promise<number>;
    /** DISPID 37 */
    AccountPayment(pPCode: string | null, pFdid: string | null, pFdChkCode: string | null, pMoney: string | null, pPaymentType: string | null, pCancelNo: string | null, pAccount: string | null): Promise<number>;
    /** DISPID 38 */
    AccountPaymentEx(pPCode: string | null, pFdid: string | null, pFdChkCode: string | null, pMoney: string | null, pPaymentType: string | null, pCancelNo: string | null, pAccount: string | null, pReaderName: string | null, pPassword: string | null, pShowMsg: string | null): Promise<number>;
    /** DISPID 39 */
    AccountPaymentSnd(pPCode: string | null, pFdid: string | null, pFdChkCode: string | null, pMoney: string | null, pPaymentType: string | null, pCancelNo: string | null, pAccount: string | null, pReaderName: string | null): Promise<number>;
    /** DISPID 40 */
    AccountPaymentSndEx(pPCode: string | null, pFdid: string | null, pFdChkCode: string | null, pMoney: string | null, pPaymentType: string | null, pCancelNo: string | null, pAccount: string | null, pReaderName: string | null, pShowMsg: string | null): Promise<number>;
    /** DISPID 41 */
    AccountPayTax(pPCode: string | null, pFdid: string | null, pFdChkCode: string | null, pMoney: string | null, pAccount: string | null): Promise<number>;
    /** DISPID 42 */
    AccountPayTaxEx(pPCode: string | null, pFdid: string | null, pFdChkCode: string | null, pMoney: string | null, pAccount: string | null, pReaderName: string | null, pPassword: string | null, pShowMsg: string | null): Promise<number>;
    /** DISPID 43 */
    AccountPayTaxSnd(pPCode: string | null, pFdid: string | null, pFdChkCode: string | null, pMoney: string | null, pAccount: string | null, pReaderName: string | null): Promise<number>;
    /** DISPID 44 */
    AccountPayTaxSndEx(pPCode: string | null, pFdid: string | null, pFdChkCode: string | null, pMoney: string | null, pAccount: string | null, pReaderName: string | null, pShowMsg: string | null): Promise<number>;
    /** DISPID 45 */
    AccountWithdraw(pPCode: string | null, pFdid: string | null, pFdChkCode: string | null, pMoney: string | null, pAccount: string | null): Promise<number>;
    /** DISPID 46 */
    AccountWithdrawEx(pPCode: string | null, pFdid: string | null, pFdChkCode: string | null, pMoney: string | null, pAccount: string | null, pReaderName: string | null, pPassword: string | null, pShowMsg: string | null): Promise<number>;
    /** DISPID 47 */
    AccountWithdrawSnd(pPCode: string | null, pFdid: string | null, pFdChkCode: string | null, pMoney: string | null, pAccount: string | null, pReaderName: string | null): Promise<number>;
    /** DISPID 48 */
    AccountWithdrawSndEx(pPCode: string | null, pFdid: string | null, pFdChkCode: string | null, pMoney: string | null, pAccount: string | null, pReaderName: string | null, pShowMsg: string | null): Promise<number>;
    /** DISPID 49 */
    GetRespSNUM(): Promise<string | null>;
    /** DISPID 50 */
    GetRespTAC(): Promise<string | null>;
    /** DISPID 51 */
    GetRespDateTime(): Promise<string | null>;
    /** DISPID 52 */
    VerifyRN1andGenerateRN2(RN1Len: number, pCpukEncryptedRN1: string | null, DsigLen: number, pSprkSignRN1: string | null): Promise<number>;
    /** DISPID 53 */
    GetEncryptRN2(): Promise<string | null>;
    /** DISPID 54 */
    GetEncryptHashRN2(): Promise<string | null>;
    /** DISPID 55 */
    GetSessionKeyHash(): Promise<string | null>;
    /** DISPID 56 */
    VerifySessionKeyHash(pCpukEncSessionKey: string | null, pSessionKeyHash: string | null): Promise<number>;
    /** DISPID 57 */
    DESEncipher(pSessionKeyHash: string | null, pCpukEncSessionKey: string | null, DataLen: number, pData: string | null): Promise<number>;
    /** DISPID 58 */
    DESDecipher(pSessionKeyHash: string | null, pCpukEncSessionKey: string | null, DataLen: number, pData: string | null): Promise<number>;
    /** DISPID 59 */
    ConvertIntToHex(inLength: number, pInval: string | null): Promise<string | null>;
    /** DISPID 60 */
    ConvertHexToInt(inLength: number, pInval: string | null): Promise<string | null>;
    /** DISPID 61 */
    GetAPIVersion(): Promise<string | null>;
    /** DISPID 62 */
    DES(Opflag: number, KeyLen: number, KeyVal: string | null, inData: string | null): Promise<number>;
    /** DISPID 63 */
    MAC(KeyLen: number, KeyVal: string | null, ICV: string | null, inLen: number, inData: string | null): Promise<number>;
    /** DISPID 64 */
    GetRespLength(): Promise<number>;
    /** DISPID 65 */
    GetRespData(): Promise<string | null>;
    /** DISPID 66 */
    ListWinscardInfo(): Promise<number>;
    /** DISPID 67 */
    GetWinscardProperty(ListNo: number): Promise<string | null>;
    /** DISPID 111 */
    GetTransactionIssuer(): Promise<string | null>;
    /** DISPID 112 */
    GetTransactionRemark(): Promise<string | null>;
    /** DISPID 113 */
    GetTransactionAccount(): Promise<string | null>;
    /** DISPID 114 */
    TransferProc(pPCode: string | null, pFdid: string | null, pFdChkCode: string | null, pMoney: string | null, pAccount: string | null, pReaderName: string | null, pPassword: string | null, pShowMsg: string | null, pSessionKeyHash: string | null, pCpukEncSessionKey: string | null, CommonInfo: string | null, ServiceType: string | null): Promise<number>;
    /** DISPID 115 */
    TransferProcSnd(pPCode: string | null, pFdid: string | null, pFdChkCode: string | null, pMoney: string | null, pAccount: string | null, pReaderName: string | null, pShowMsg: string | null, pSessionKeyHash: string | null, pCpukEncSessionKey: string | null, CommonInfo: string | null, ServiceType: string | null): Promise<number>;
    /** DISPID 116 */
    CommAccountProc(pReaderName: string | null, pSessionKeyHash: string | null, pCpukEncSessionKey: string | null, pCommonInfo: string | null): Promise<number>;
    /** DISPID 117 */
    GetClearImportAccount(): Promise<string | null>;
    /** DISPID 118 */
    GetEncImportAccount(): Promise<string | null>;
    /** DISPID 119 */
    GetClearCommAcc(): Promise<string | null>;
    /** DISPID 120 */
    GetEncCommAcc(): Promise<string | null>;
    /** DISPID 121 */
    WriteRecordWithSNUMTAC(pReaderName: string | null, pApduCmd: string | null, pShowMsg: string | null, pPassword: string | null): Promise<number>;
    /** DISPID 122 */
    WriteRecordWithSNUMTACSnd(pReaderName: string | null, pApduCmd: string | null, pShowMsg: string | null): Promise<number>;
}

export default QorvClientATM;
