// The demo bank's transfer page: the whole flow a real bank page runs with
// QorvClientATM and its bank server (here the bank simulator that serves this
// page). Each step shows on the page and goes to the console as one line
// "qorv-demo {json}", which the demo runner prints; the run ends in the
// #outcome element with data-status "ok" or "failed". Every wait is bounded,
// so a missing extension, host, reader or card ends in a failed outcome.
//
// The page has three ways to transfer and one to add a common account:
// - the plain transfer (AccountTransfer): the page sends the PIN, the card
//   authorises;
// - the confirmed transfer (AccountTransferEx): the component shows its
//   confirmation dialog with the page's summary, the customer takes the card
//   out, puts it back and presses OK, and only then does the card authorise;
// - the guided transfer (TransferProc): the bank's transfer document gives
//   the component's transfer dialog its account lists; the customer chooses
//   the transfer-in account there, confirms as above, and the page relays
//   the enciphered choice (GetEncImportAccount) with the card's TAC to the
//   bank, which deciphers it and checks the TAC over the same values;
// - adding a common account (CommAccountProc): the bank's form document
//   gives the component's entry dialog its rows; the customer fills them in
//   with the card PIN, confirms as above, and the page relays the enciphered
//   values (GetEncCommAcc) to the bank, which reads them by its form.
// Neither guided path shows the page the values in clear.
//
// ?autorun starts the run when the page has loaded; ?confirmed,
// ?guided-transfer or ?common-account chooses what it runs (the plain
// transfer otherwise). The page reports {"kind":"customer"} before a call
// whose confirmation wants the card taken out and put back.

const CONTROL_TIMEOUT_MS = 5000; // waiting for the extension and the host
const STEP_TIMEOUT_MS = 20000; // one step's calls to the card
// The confirmation dialog gives the customer 60 seconds; then the card step.
const CONFIRMED_STEP_TIMEOUT_MS = 90000;
// The bank's documents give the entry windows 180 seconds; then the
// confirmation and the card step.
const GUIDED_STEP_TIMEOUT_MS = 300000;
const BANK_TIMEOUT_MS = 10000; // one request to the bank server

// Processing code, device id: what this bank's server would hand the page.
const TRANSFER_PCODE = "2521";
const WEB_DEVICE_ID = "QORVWEB1";

class StepFailure extends Error {}

// ----- result codes, as a customer and a developer both want to read them

const CONTROL_CODES = new Map([
    [-1, "一般錯誤 general failure"],
    [1, "密碼驗證失敗 PIN refused"],
    [7, "尚未連接讀卡機 no reader session"],
    [4099, "未指定讀卡機 reader name missing"],
    [8193, "格式錯誤 a PIN contains a non-digit or a length is out of range"],
    [8194, "長度錯誤 an argument has the wrong length"],
    [8195, "缺少參數 a required argument is missing"],
    [20481, "卡片應用程式選取失敗 selecting the card application failed"],
    [20482, "讀取帳號失敗 reading an account record failed"],
    [20484, "卡片拒絕密碼 (66 08) the card refused the PIN (66 08)"],
    [20485, "卡片拒絕密碼 (66 20) the card refused the PIN (66 20)"],
    [20486, "卡片拒絕交易 (66 10) the card refused the transaction (66 10)"],
    [20741, "無法解開銀行的 RN1 the bank's RN1 could not be deciphered"],
    [20752, "加密失敗 cipher failure"],
    [20753, "工作金鑰不符 the session key does not match its hash"],
    [20756, "卡片拒絕交易 (69 F0) 或交易未確認 the card refused the transaction (69 F0), or the confirmation was cancelled or timed out"],
    [20757, "帳號與交易摘要不符 the account is not in the summary"],
    [20758, "金額或轉入帳號與交易摘要不符 the amount or the transfer-in account is not in the summary"],
    [20998, "轉帳設定文件不完整 the transfer document holds fewer than three account lists"],
]);

// The category of the transfer-in account the customer chose, as the bank
// reads it from the enciphered transfer values.
const TRANSFER_CATEGORIES = new Map([
    ["0", "約定帳號 agreed account"],
    ["1", "常用帳號 common account"],
    ["2", "其他帳號 another account"],
    ["3", "其他帳號並加入常用帳號 another account, added to the common accounts"],
]);

const PCSC_CODES = new Map([
    [0x80100009, "SCARD_E_UNKNOWN_READER 找不到讀卡機 unknown reader"],
    [0x8010000b, "SCARD_E_SHARING_VIOLATION 晶片卡使用中 the card is in use by another program"],
    [0x8010000c, "SCARD_E_NO_SMARTCARD 未插入晶片卡 no card in the reader"],
    [0x80100017, "SCARD_E_READER_UNAVAILABLE 讀卡機無法使用 reader unavailable"],
    [0x8010001d, "SCARD_E_NO_SERVICE 讀卡機服務未啟動 the smart-card service is not running"],
    [0x8010002e, "SCARD_E_NO_READERS_AVAILABLE 沒有讀卡機 no reader attached"],
    [0x80100066, "SCARD_W_UNRESPONSIVE_CARD 晶片卡無回應 the card does not answer"],
    [0x80100069, "SCARD_W_REMOVED_CARD 晶片卡已移除 the card was removed"],
]);

function hex(value, digits) {
    return (value >>> 0).toString(16).toUpperCase().padStart(digits, "0");
}

// A status word arrives as SW1 * 256 + SW2.
function describeStatusWord(code) {
    const sw = hex(code, 4);
    if ((code & 0xfff0) === 0x63c0) return `卡片狀態 ${sw}: 密碼錯誤，尚餘 ${code & 0xf} 次 wrong PIN, ${code & 0xf} tries left`;
    if (code === 0x6983) return `卡片狀態 ${sw}: 密碼已鎖定 PIN blocked`;
    return `卡片狀態 card status ${sw}`;
}

// What a code means from one method, where the general text would mislead.
const METHOD_CODES = new Map([
    ["TransferProc", new Map([
        [20756, "交易取消或逾時 the customer cancelled a window or it timed out, or the card refused the transaction (69 F0)"],
    ])],
    ["CommAccountProc", new Map([
        [20486, "密碼錯誤或須使用密碼鍵盤讀卡機 the card refused the PIN typed in the form, or the form needs a PIN-pad reader"],
        [20756, "交易取消或逾時 the customer cancelled a window or it timed out"],
    ])],
]);

function describeCode(code, method) {
    const own = METHOD_CODES.get(method);
    if (own && own.has(code)) return `${code} ${own.get(code)}`;
    if (CONTROL_CODES.has(code)) return `${code} ${CONTROL_CODES.get(code)}`;
    if (code >= 0x6000 && code <= 0x6fff) return describeStatusWord(code);
    if (code < 0) return `0x${hex(code, 8)} ${PCSC_CODES.get(code >>> 0) || "PC/SC error"}`;
    return `result ${code}`;
}

// ----- the page's record of the run

const stepList = document.getElementById("steps");
const outcome = document.getElementById("outcome");
const form = document.getElementById("transfer");
const commonForm = document.getElementById("common-account");
const runButtons = [document.getElementById("start"), document.getElementById("add-common")];

function report(entry) {
    console.info(`qorv-demo ${JSON.stringify(entry)}`);
}

function showStep(number, label) {
    const item = document.createElement("li");
    item.dataset.status = "running";
    const status = item.appendChild(document.createElement("span"));
    status.className = "status";
    status.textContent = "進行中 running";
    item.append(`${label.zh} `);
    const english = item.appendChild(document.createElement("span"));
    english.lang = "en";
    english.textContent = label.en;
    const detail = item.appendChild(document.createElement("span"));
    detail.className = "detail";
    stepList.append(item);
    return (result, lines) => {
        item.dataset.status = result;
        status.textContent = result === "ok" ? "完成 ok" : "失敗 failed";
        detail.textContent = lines.join("\n");
        report({ kind: "step", number, label: `${label.zh} ${label.en}`, status: result, detail: lines });
    };
}

function withTimeout(promise, timeoutMs, what) {
    let timer;
    const expired = new Promise((_, reject) => {
        timer = setTimeout(() => reject(new StepFailure(`${what}: 逾時 no answer within ${timeoutMs / 1000} s`)), timeoutMs);
    });
    return Promise.race([promise, expired]).finally(() => clearTimeout(timer));
}

// Runs one step: its work adds detail lines, or throws to fail the run.
function stepRunner() {
    let number = 0;
    return async (label, work, timeoutMs = STEP_TIMEOUT_MS) => {
        const finish = showStep(++number, label);
        const lines = [];
        try {
            await withTimeout(work(lines), timeoutMs, label.en);
            finish("ok", lines);
        } catch (error) {
            const reason = error instanceof StepFailure ? error.message : `${error.name}: ${error.message}`;
            lines.push(reason);
            finish("failed", lines);
            throw new StepFailure(`${label.zh} ${label.en}: ${reason}`);
        }
    };
}

function endRun(status, text) {
    outcome.dataset.status = status;
    outcome.value = text;
    report({ kind: "outcome", status, text });
}

// ----- the control and the bank

function expectZero(method, code) {
    if (code !== 0) throw new StepFailure(`${method} = ${describeCode(code, method)}`);
}

function expectText(method, text) {
    if (typeof text !== "string" || text === "") throw new StepFailure(`${method} returned ${JSON.stringify(text)}`);
    return text;
}

async function postToBank(path, body) {
    let response;
    try {
        response = await fetch(path, {
            method: "POST",
            headers: { "content-type": "application/json" },
            body: JSON.stringify(body),
            signal: AbortSignal.timeout(BANK_TIMEOUT_MS),
        });
    } catch (error) {
        throw new StepFailure(`銀行主機無回應 the bank server did not answer ${path}: ${error.message}`);
    }
    const reply = await response.json().catch(() => ({}));
    if (!response.ok || reply.ok === false) {
        throw new StepFailure(`銀行拒絕 the bank refused ${path}: ${reply.error || reply.message || `HTTP ${response.status}`}`);
    }
    return reply;
}

// The remark arrives as hexadecimal text of Big5 bytes.
function remarkText(hexText) {
    if (typeof hexText !== "string" || !/^([0-9A-Fa-f]{2})+$/.test(hexText)) return String(hexText);
    const bytes = Uint8Array.from(hexText.match(/../g), (pair) => parseInt(pair, 16));
    return `${new TextDecoder("big5").decode(bytes).trim()} (${hexText})`;
}

function textToHex(text) {
    return [...text].map((c) => hex(c.charCodeAt(0) & 0xff, 2)).join("");
}

function randomCheckCode() {
    return hex(crypto.getRandomValues(new Uint32Array(1))[0], 8);
}

// The transfer form; `path` is "plain", "confirmed" or "guided-transfer".
function readForm() {
    const data = new FormData(form);
    const path = String(data.get("path"));
    const guided = path === "guided-transfer";
    const importAccount = guided ? "" : String(data.get("importAccount")).trim();
    const amount = Number(data.get("amount"));
    const pin = String(data.get("pin"));
    if (!guided && !/^[0-9]{16,19}$/.test(importAccount)) throw new StepFailure("轉入帳號須為 16 至 19 位數字 the transfer-in account takes 16 to 19 digits");
    if (!Number.isInteger(amount) || amount < 1 || amount > 9999999) throw new StepFailure("金額須為 1 至 9,999,999 元 the amount is 1 to 9,999,999 NT$");
    // Whole dollars with two decimal places, 14 digits.
    const confirmed = path === "confirmed";
    // On a PIN-pad reader the customer types the PIN on the reader's keypad.
    const pinPad = confirmed && data.get("pinpad") === "on";
    if (!pinPad && !/^[0-9]{4,12}$/.test(pin)) throw new StepFailure("密碼須為 4 至 12 位數字 the PIN takes 4 to 12 digits");
    return { path, importAccount, amount, money: String(amount * 100).padStart(14, "0"), pin, confirmed, pinPad, guided };
}

function transferCategory(category) {
    return TRANSFER_CATEGORIES.get(String(category)) || `category ${category}`;
}

// The names of a bank document's AtmNode elements, for the step's detail.
function documentRows(document) {
    return [...document.matchAll(/<AtmNode\b[^>]*\bName="([^"]*)"/g)].map((match) => match[1]);
}

// The summary the confirmation dialog shows: the title, a note, and the rows
// from-account (Tag7), transfer-in account (Tag11, its first 16 digits as the
// card gets them) and amount (Tag13).
function transferSummary(transfer, amount) {
    const escape = (text) => String(text).replace(/[<>&]/g, " ");
    return "<MSG><Tag1>轉帳：確認交易資料</Tag1>" +
        "<Tag2>請核對下列資料，將晶片卡抽出後再插入，再按『確定』。</Tag2>" +
        `<Tag6>轉出帳號</Tag6><Tag7>${escape(transfer.pAccount)}</Tag7>` +
        `<Tag10>轉入帳號</Tag10><Tag11>${escape(transfer.pImprtAccnt.slice(0, 16))}</Tag11>` +
        `<Tag12>轉帳金額</Tag12><Tag13>新臺幣 ${amount} 元</Tag13></MSG>`;
}

// The summary of the guided transfer's confirmation: the title, a note, the
// from-account (Tag7) and the amount (Tag13). The transfer-in account is
// not the page's to give: the dialog shows the one the customer chose.
function guidedTransferSummary(account, amount) {
    const escape = (text) => String(text).replace(/[<>&]/g, " ");
    return "<MSG><Tag1>轉帳：確認交易資料</Tag1>" +
        "<Tag2>請核對下列資料，將晶片卡抽出後再插入，再按『確定』。</Tag2>" +
        `<Tag6>轉出帳號</Tag6><Tag7>${escape(account)}</Tag7>` +
        `<Tag12>轉帳金額</Tag12><Tag13>新臺幣 ${amount} 元</Tag13></MSG>`;
}

// ----- the steps every path takes

// Loads the page library and starts a control; `state.atm` is the control.
async function startControl(step, state) {
    await step({ zh: "啟動晶片卡元件", en: "Start the chip-card control" }, async (lines) => {
        let library;
        try {
            library = await import("./qorvclientatm.js");
        } catch (error) {
            throw new StepFailure(`無法載入元件程式庫 the page library did not load: ${error.message}`);
        }
        try {
            state.atm = await library.QorvClientATM.create({ timeoutMs: CONTROL_TIMEOUT_MS });
        } catch (error) {
            const code = error.code ? ` (${error.code}${error.reason ? ` ${error.reason}` : ""})` : "";
            // A host the browser cannot reach: the customer's own machine
            // says why.
            const doctor =
                error.code === "NO_HOST" ? "；請執行 qorvclientatm-host --doctor 檢查 run qorvclientatm-host --doctor" : "";
            throw new StepFailure(`未安裝或未啟用 QorvClientATM${code}: ${error.message}${doctor}`);
        }
        lines.push(`${(await state.atm.GetAPIVersion()).trim()}`);
    }, CONTROL_TIMEOUT_MS + 15000);
}

// Lists the readers and connects the card in the first that holds one:
// `state.reader`.
async function connectCard(step, state) {
    const atm = state.atm;
    await step({ zh: "列出讀卡機", en: "List the readers" }, async (lines) => {
        const listed = await atm.ListReaders();
        const count = listed === 0 ? await atm.GetReaderNumber() : 0;
        if (count < 1) {
            throw new StepFailure(`找不到讀卡機 no reader is attached, or the smart-card service is not running (ListReaders = ${listed})`);
        }
        state.readers = [];
        for (let i = 0; i < count; i++) state.readers.push(await atm.GetReaderName(i));
        lines.push(...state.readers);
    });

    await step({ zh: "連接晶片卡", en: "Connect the card" }, async (lines) => {
        // The first reader that holds a card.
        const refusals = [];
        for (const name of state.readers) {
            const code = await atm.ConnectCard(name);
            if (code === 0) {
                state.reader = name;
                break;
            }
            refusals.push(`${name}: ${describeCode(code)}`);
        }
        if (!state.reader) throw new StepFailure(`請插入晶片卡 insert the card (${refusals.join("; ")})`);
        lines.push(`reader ${state.reader}`, `ATR ${await atm.GetCardStatus()}`);
    });
}

// Reads the card; `state.account` is the account the transfer goes from.
async function readCard(step, state) {
    const atm = state.atm;
    await step({ zh: "讀取卡片資料", en: "Read the card" }, async (lines) => {
        const serial = expectText("ReadCardSN", await atm.ReadCardSN());
        const issuer = await atm.GetIssuerBank();
        const remark = await atm.GetICCRemark();
        expectZero("ListEF1001Accounts", await atm.ListEF1001Accounts());
        const count = await atm.GetEF1001TotalAccounts();
        if (count < 1) throw new StepFailure("卡片沒有帳號 the card holds no account");
        const accounts = [];
        for (let i = 0; i < count; i++) accounts.push(await atm.GetEF1001Account(i));
        state.account = expectText("GetEF1001Account", accounts[0]);
        lines.push(`serial ${serial}`, `issuer ${issuer}`, `remark ${remarkText(remark)}`,
            `accounts ${accounts.join(", ")}`, `transfer from ${state.account}`);
    });
}

// The key agreement: `state.sessionId` names the bank's session, `state.key`
// holds the session key's hash and the key enciphered for the card's side.
async function agreeKey(step, state) {
    const atm = state.atm;
    await step({ zh: "與銀行交換金鑰", en: "Key agreement with the bank" }, async (lines) => {
        const offer = await postToBank("/session/start", {});
        state.sessionId = offer.sessionId;
        expectZero("VerifyRN1andGenerateRN2",
            await atm.VerifyRN1andGenerateRN2(offer.rn1Len, offer.encryptedRn1, offer.signatureLen, offer.signature));
        const answer = {
            sessionId: offer.sessionId,
            encryptRN2: expectText("GetEncryptRN2", await atm.GetEncryptRN2()),
            encryptHashRN2: expectText("GetEncryptHashRN2", await atm.GetEncryptHashRN2()),
            sessionKeyHash: expectText("GetSessionKeyHash", await atm.GetSessionKeyHash()),
        };
        const key = await postToBank("/session/answer", answer);
        state.key = { hash: key.sessionKeyHash, enciphered: key.cpukEncSessionKey };
        expectZero("VerifySessionKeyHash", await atm.VerifySessionKeyHash(state.key.enciphered, state.key.hash));
        lines.push(`bank session ${offer.sessionId}`, `RN1 verified, RN2 sent, ${key.sessionKeyLength}-byte session key accepted`);
    });
}

async function endCardSession(step, state) {
    await step({ zh: "結束晶片卡連線", en: "End the card session" }, async (lines) => {
        expectZero("DisconnectCard", await state.atm.DisconnectCard());
        expectZero("DisconnectReader", await state.atm.DisconnectReader());
        lines.push("card released");
    });
}

function checkTransferForm(step, state) {
    return step({ zh: "檢查轉帳資料", en: "Check the transfer form" }, async (lines) => {
        Object.assign(state, readForm());
        const kind = state.guided ? "guided transfer (TransferProc): the account is chosen in the component's window"
            : state.pinPad ? "confirmed transfer, PIN on the reader's keypad (AccountTransferSndEx)"
            : state.confirmed ? "confirmed transfer (AccountTransferEx)" : "plain transfer (AccountTransfer)";
        lines.push(`${state.guided ? "" : `to ${state.importAccount}, `}NT$${state.amount.toLocaleString("en")} (pMoney ${state.money})`, kind);
    });
}

// ----- the plain and the confirmed transfer, step by step

// Returns the outcome text; `state.atm` is the control once it is created.
async function runTransfer(step, state) {
    await checkTransferForm(step, state);
    await startControl(step, state);
    await connectCard(step, state);
    await readCard(step, state);
    await agreeKey(step, state);
    const atm = state.atm;

    await step({ zh: "以工作金鑰傳送轉帳資料", en: "Send the transfer under the session key" }, async (lines) => {
        const plain = textToHex(`${state.importAccount}${state.money}`);
        expectZero("DESEncipher", await atm.DESEncipher(state.key.hash, state.key.enciphered, plain.length / 2, plain));
        const enciphered = expectText("GetRespData", await atm.GetRespData());
        const { plain: deciphered } = await postToBank("/session/decipher", { sessionId: state.sessionId, data: enciphered });
        if (deciphered.toUpperCase() !== plain) throw new StepFailure("銀行解出的資料不符 the bank deciphered other data");
        lines.push(`${enciphered.length / 2} enciphered bytes; the bank read them back`);
    });

    if (!state.confirmed) {
        await step({ zh: "驗證晶片卡密碼", en: "Verify the PIN" }, async (lines) => {
            expectZero("VerifyPIN", await atm.VerifyPIN(state.pin));
            lines.push("密碼正確 PIN accepted");
        });
    }

    const transfer = {
        kind: "transfer",
        pPCode: TRANSFER_PCODE,
        pFdid: WEB_DEVICE_ID,
        pFdChkCode: randomCheckCode(),
        pMoney: state.money,
        pImprtAccnt: state.importAccount,
        pAccount: state.account,
    };
    const authorise = async (lines) => {
        if (state.pinPad) {
            lines.push("請確認交易資料，將晶片卡抽出後再插入，按『確定』，再於讀卡機上輸入密碼 confirm: take the card out, put it back, press OK, then type the PIN on the reader");
            report({ kind: "customer", action: "take-out-and-put-back" });
            expectZero("AccountTransferSndEx", await atm.AccountTransferSndEx(transfer.pPCode, transfer.pFdid,
                transfer.pFdChkCode, transfer.pMoney, transfer.pImprtAccnt, transfer.pAccount, state.reader,
                transferSummary(transfer, state.amount)));
        } else if (state.confirmed) {
            // The customer sees this summary in the component's own dialog;
            // the account, the transfer-in account and the amount must be in it.
            lines.push("請確認交易資料，將晶片卡抽出後再插入，再按『確定』 confirm: take the card out, put it back, press OK");
            report({ kind: "customer", action: "take-out-and-put-back" });
            expectZero("AccountTransferEx", await atm.AccountTransferEx(transfer.pPCode, transfer.pFdid,
                transfer.pFdChkCode, transfer.pMoney, transfer.pImprtAccnt, transfer.pAccount, state.reader,
                state.pin, transferSummary(transfer, state.amount)));
        } else {
            expectZero("AccountTransfer", await atm.AccountTransfer(transfer.pPCode, transfer.pFdid, transfer.pFdChkCode,
                transfer.pMoney, transfer.pImprtAccnt, transfer.pAccount));
        }
        transfer.snum = expectText("GetRespSNUM", await atm.GetRespSNUM());
        transfer.tac = expectText("GetRespTAC", await atm.GetRespTAC());
        transfer.dateTime = expectText("GetRespDateTime", await atm.GetRespDateTime());
        transfer.issuer = await atm.GetTransactionIssuer();
        transfer.remark = await atm.GetTransactionRemark();
        transfer.account = await atm.GetTransactionAccount();
        lines.push(`SNUM ${transfer.snum}  TAC ${transfer.tac}  date-time ${transfer.dateTime}`,
            `issuer ${transfer.issuer}  account ${transfer.account}`);
    };
    await step({ zh: "晶片卡授權轉帳", en: "The card authorises the transfer" }, authorise,
        state.confirmed ? CONFIRMED_STEP_TIMEOUT_MS : STEP_TIMEOUT_MS);

    let accepted;
    await step({ zh: "銀行驗證交易", en: "The bank checks the transaction" }, async (lines) => {
        accepted = await postToBank("/transaction", transfer);
        lines.push(accepted.message);
    }, BANK_TIMEOUT_MS + 1000);

    await endCardSession(step, state);
    return `轉帳成功 Transfer accepted: NT$${state.amount.toLocaleString("en")} from ${state.account} to ${state.importAccount}; ${accepted.message}`;
}

// ----- the guided transfer, step by step

async function runGuidedTransfer(step, state) {
    await checkTransferForm(step, state);
    await startControl(step, state);
    await connectCard(step, state);
    await readCard(step, state);
    await agreeKey(step, state);
    const atm = state.atm;

    await step({ zh: "取得轉帳設定", en: "Get the bank's transfer document" }, async (lines) => {
        const reply = await postToBank("/session/transfer-document", { sessionId: state.sessionId });
        state.document = expectText("the transfer document", reply.document);
        lines.push(`lists: ${documentRows(state.document).join(", ")}`);
    });

    const transfer = {
        sessionId: state.sessionId,
        serviceType: "0",
        pFdid: WEB_DEVICE_ID,
        pFdChkCode: randomCheckCode(),
        pMoney: state.money,
        pAccount: state.account,
    };
    await step({ zh: "選擇轉入帳號並確認，晶片卡授權轉帳", en: "The customer chooses the account and confirms; the card authorises" }, async (lines) => {
        lines.push("請在元件視窗選擇轉入帳號，確認後將晶片卡抽出再插入，再按『確定』 choose the transfer-in account in the component's window, then take the card out, put it back, press OK");
        report({ kind: "customer", action: "take-out-and-put-back" });
        expectZero("TransferProc", await atm.TransferProc(TRANSFER_PCODE, transfer.pFdid, transfer.pFdChkCode,
            transfer.pMoney, transfer.pAccount, state.reader, state.pin,
            guidedTransferSummary(state.account, state.amount), state.key.hash, state.key.enciphered,
            state.document, transfer.serviceType));
        // The transfer-in account only enciphered: the bank deciphers it.
        transfer.encImportAccount = expectText("GetEncImportAccount", await atm.GetEncImportAccount());
        transfer.snum = expectText("GetRespSNUM", await atm.GetRespSNUM());
        transfer.tac = expectText("GetRespTAC", await atm.GetRespTAC());
        transfer.dateTime = expectText("GetRespDateTime", await atm.GetRespDateTime());
        transfer.issuer = await atm.GetTransactionIssuer();
        transfer.remark = await atm.GetTransactionRemark();
        transfer.account = await atm.GetTransactionAccount();
        lines.push(`transfer values: ${transfer.encImportAccount.length / 2} enciphered bytes`,
            `SNUM ${transfer.snum}  TAC ${transfer.tac}  date-time ${transfer.dateTime}`,
            `issuer ${transfer.issuer}  account ${transfer.account}`);
    }, GUIDED_STEP_TIMEOUT_MS);

    let accepted;
    await step({ zh: "銀行驗證交易", en: "The bank checks the transaction" }, async (lines) => {
        accepted = await postToBank("/transaction/guided-transfer", transfer);
        lines.push(accepted.message,
            `轉入 to bank ${accepted.bankCode} account ${accepted.transferInAccount}, ${transferCategory(accepted.category)}`,
            accepted.email ? `通知 notice to ${accepted.email}` : "no e-mail notice");
    }, BANK_TIMEOUT_MS + 1000);

    await endCardSession(step, state);
    const notice = accepted.email ? `; 通知 notice to ${accepted.email}` : "";
    return `轉帳成功 Transfer accepted: NT$${state.amount.toLocaleString("en")} from ${state.account} ` +
        `to bank ${accepted.bankCode} account ${accepted.transferInAccount} (${transferCategory(accepted.category)})${notice}; SNUM ${transfer.snum}`;
}

// ----- adding a common account, step by step

// The bank's form with the card-PIN row: the PIN is typed in the form and
// checked against the card before the confirmation.
const COMMON_ACCOUNT_FORM = "pin";

async function runCommonAccount(step, state) {
    await startControl(step, state);
    await connectCard(step, state);
    await agreeKey(step, state);
    const atm = state.atm;

    await step({ zh: "取得常用帳號表單", en: "Get the bank's common-account form" }, async (lines) => {
        const reply = await postToBank("/session/common-account-document", { sessionId: state.sessionId, form: COMMON_ACCOUNT_FORM });
        state.document = expectText("the common-account document", reply.document);
        lines.push(`rows: ${documentRows(state.document).join(", ")}`);
    });

    let encCommAcc;
    await step({ zh: "輸入常用帳號並確認", en: "The customer fills in the form and confirms" }, async (lines) => {
        lines.push("請在元件視窗輸入資料及晶片卡密碼，確認後將晶片卡抽出再插入，再按『確定』 fill in the component's window with the card PIN, then take the card out, put it back, press OK");
        report({ kind: "customer", action: "take-out-and-put-back" });
        expectZero("CommAccountProc", await atm.CommAccountProc(state.reader, state.key.hash, state.key.enciphered, state.document));
        // The values only enciphered: the bank deciphers them.
        encCommAcc = expectText("GetEncCommAcc", await atm.GetEncCommAcc());
        lines.push(`values: ${encCommAcc.length / 2} enciphered bytes`);
    }, GUIDED_STEP_TIMEOUT_MS);

    let recorded;
    await step({ zh: "銀行登錄常用帳號", en: "The bank records the common account" }, async (lines) => {
        recorded = await postToBank("/session/common-account", { sessionId: state.sessionId, form: COMMON_ACCOUNT_FORM, encCommAcc });
        lines.push(recorded.message, ...(recorded.values || []).map(({ name, value }) => `${name}: ${value}`));
    }, BANK_TIMEOUT_MS + 1000);

    await endCardSession(step, state);
    const values = (recorded.values || []).map(({ value }) => value).filter((value) => value !== "");
    return `常用帳號已新增 Common account added: ${values.join(" · ")}; ${recorded.message}`;
}

// ----- running one

async function run(runner) {
    for (const button of runButtons) button.disabled = true;
    stepList.replaceChildren();
    outcome.dataset.status = "running";
    outcome.value = "處理中 Working…";
    const state = {};
    try {
        endRun("ok", await runner(stepRunner(), state));
    } catch (error) {
        endRun("failed", `交易失敗 Failed: ${error.message}`);
    } finally {
        // The host ends with the control and releases the card on any path.
        if (state.atm && !state.atm.closed) state.atm.close();
        for (const button of runButtons) button.disabled = false;
    }
}

function chosenTransfer() {
    return form.elements.path.value === "guided-transfer" ? runGuidedTransfer : runTransfer;
}

// The guided transfer takes no transfer-in account from the page.
function showPath() {
    const guided = form.elements.path.value === "guided-transfer";
    document.getElementById("import-account-row").hidden = guided;
    document.getElementById("import-account").disabled = guided;
    document.getElementById("guided-note").hidden = !guided;
}

form.addEventListener("submit", (event) => {
    event.preventDefault();
    run(chosenTransfer());
});
form.addEventListener("change", showPath);
commonForm.addEventListener("submit", (event) => {
    event.preventDefault();
    run(runCommonAccount);
});

const query = new URLSearchParams(location.search);
for (const path of ["confirmed", "guided-transfer"]) {
    if (query.has(path)) form.elements.path.value = path;
}
if (query.has("pinpad")) form.elements.pinpad.checked = true;
showPath();
if (query.has("autorun")) run(query.has("common-account") ? runCommonAccount : chosenTransfer());
