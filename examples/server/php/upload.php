<?php
// A receiving server for Fotoloft uploads in PHP, on PHP's own multipart parser ($_FILES).
//
// Each upload is one multipart/form-data POST carrying the picture (in the field the page
// named with "FileFieldName", "file" by default), its "id", "width", "height", the caption
// ("remark") and the page's own fields. The script stores the picture under a safe name of
// its own and answers the JSON the control judges: {"success":1,...} when the file was
// stored, {"success":0,"msg":...} when it was refused. A stored picture is never replaced:
// another body under an id already stored is refused, the same bytes again (a retry whose
// reply was lost) get the stored file's reply.
//
// Settings come from the environment, with these defaults:
//   FOTOLOFT_UPLOAD_DIR  the folder the pictures go to        (uploads/ beside this script)
//   FOTOLOFT_FILE_FIELD  the page's "FileFieldName"            (file)
//   FOTOLOFT_MAX_BYTES   the largest picture accepted, in bytes (20971520)
// PHP's own upload_max_filesize and post_max_size must be at least as large.
//
//   php -d upload_max_filesize=21M -d post_max_size=22M -S 127.0.0.1:8080 upload.php

const SAFE_ID = '/^[0-9a-f]{32}$/D';
const EXTENSIONS = ['.jpg', '.jpeg', '.png', '.gif', '.bmp', '.tif', '.tiff'];
// The control sends "id", "width", "height", "remark" and the page's own fields, each short.
const MAX_FIELDS = 100;
const MAX_FIELD_BYTES = 8192;

function setting(string $name, string $default): string
{
    $value = getenv($name);
    return $value === false || $value === '' ? $default : $value;
}

function answer(int $status, array $reply): void
{
    http_response_code($status);
    header('Content-Type: application/json');
    echo json_encode($reply, JSON_UNESCAPED_SLASHES | JSON_UNESCAPED_UNICODE | JSON_INVALID_UTF8_SUBSTITUTE);
    exit;
}

// PHP's size settings ("8M") in bytes.
function ini_bytes(string $name): int
{
    $value = trim((string) ini_get($name));
    $number = (int) $value;
    switch (strtoupper(substr($value, -1))) {
        case 'G': return $number << 30;
        case 'M': return $number << 20;
        case 'K': return $number << 10;
        default: return $number;
    }
}

// The file's extension when it is a picture's, else ".bin"; never a path.
function safe_extension(string $name): string
{
    $base = basename(str_replace('\\', '/', $name));
    $dot = strrpos($base, '.');
    $ext = $dot === false ? '' : strtolower(substr($base, $dot));
    return in_array($ext, EXTENSIONS, true) ? $ext : '.bin';
}

// The name of the file stored under $stem (whatever its extension), or null.
function stored_under(string $folder, string $stem): ?string
{
    foreach (array_merge(EXTENSIONS, ['.bin']) as $ext) {
        if (is_file($folder . DIRECTORY_SEPARATOR . $stem . $ext)) {
            return $stem . $ext;
        }
    }
    return null;
}

$folder = setting('FOTOLOFT_UPLOAD_DIR', __DIR__ . '/uploads');
$field = setting('FOTOLOFT_FILE_FIELD', 'file');
$maxBytes = (int) setting('FOTOLOFT_MAX_BYTES', '20971520');

if (($_SERVER['REQUEST_METHOD'] ?? '') !== 'POST') {
    answer(405, ['success' => 0, 'msg' => 'method not allowed']);
}
// A body over post_max_size reaches the script with nothing parsed.
$postLimit = ini_bytes('post_max_size');
if (empty($_FILES) && empty($_POST) && $postLimit > 0 && (int) ($_SERVER['CONTENT_LENGTH'] ?? 0) > $postLimit) {
    answer(413, ['success' => 0, 'msg' => 'file too large']);
}
if (count($_POST, COUNT_RECURSIVE) > MAX_FIELDS) {
    answer(413, ['success' => 0, 'msg' => 'too many fields']);
}
array_walk_recursive($_POST, function ($value) {
    if (strlen((string) $value) > MAX_FIELD_BYTES) {
        answer(413, ['success' => 0, 'msg' => 'field too large']);
    }
});
$file = $_FILES[$field] ?? (empty($_FILES) ? null : reset($_FILES));
if ($file === null || !is_string($file['name'] ?? null)) {  // an array is a name[] field
    answer(400, ['success' => 0, 'msg' => 'no file']);
}
switch ($file['error']) {
    case UPLOAD_ERR_OK:
        break;
    case UPLOAD_ERR_INI_SIZE:
    case UPLOAD_ERR_FORM_SIZE:
        answer(413, ['success' => 0, 'msg' => 'file too large']);
    default:
        answer(400, ['success' => 0, 'msg' => 'upload error ' . $file['error']]);
}
if ($file['size'] > $maxBytes) {
    answer(413, ['success' => 0, 'msg' => 'file too large']);
}
if (!is_uploaded_file($file['tmp_name'])) {
    answer(400, ['success' => 0, 'msg' => 'no file']);
}

$id = is_string($_POST['id'] ?? null) ? $_POST['id'] : '';
$digest = hash_file('sha256', $file['tmp_name']);
// The control URL-encodes the name it sends when the page's encoding is UTF-8 ("My+a%2Ejpg").
$name = urldecode($file['name']);
// The stored name is ours: the id when it is one, else the content's hash.
$stem = preg_match(SAFE_ID, $id) ? $id : substr($digest, 0, 32);
$stored = $stem . safe_extension($name);
if (!is_dir($folder) && !mkdir($folder, 0777, true) && !is_dir($folder)) {
    answer(500, ['success' => 0, 'msg' => 'no upload folder']);
}
// The file is moved in whole under a name of its own first, then linked to its stored name:
// a link never replaces a file, so two uploads of one id cannot both store theirs.
$temp = $folder . DIRECTORY_SEPARATOR . '.part-' . bin2hex(random_bytes(12));
if (!move_uploaded_file($file['tmp_name'], $temp)) {
    answer(500, ['success' => 0, 'msg' => 'could not store the file']);
}
$existing = stored_under($folder, $stem);
if ($existing === null && !@link($temp, $folder . DIRECTORY_SEPARATOR . $stored)) {
    $existing = stored_under($folder, $stem);
    if ($existing === null) {
        @unlink($temp);
        answer(500, ['success' => 0, 'msg' => 'could not store the file']);
    }
}
@unlink($temp);
if ($existing !== null) {
    if (hash_file('sha256', $folder . DIRECTORY_SEPARATOR . $existing) !== $digest) {
        answer(409, ['success' => 0, 'msg' => 'id already stored']);
    }
    $stored = $existing;
}
answer(200, [
    'success' => 1, 'id' => $id, 'file' => $stored, 'name' => $name,
    'size' => $file['size'], 'sha256' => $digest, 'fields' => (object) $_POST,
]);
