<%@ Language=VBScript %>
<% Option Explicit %>
<!--#INCLUDE file="../Vistelle/include/DataProvider.asp" -->
<!--#INCLUDE file ="../include/customer.asp" -->
<!--#INCLUDE file ="../include/extra.asp" -->
<%
'------------------------------------------------------------------------------
' Page header for the data provider KRMArticles.
' Written by the page editor from the HeaderDTC on this page: change the control,
' not this block; the editor writes it anew whenever the page is saved.
'------------------------------------------------------------------------------
Dim mDataProvider, lLinkedDataProvider
Dim mReturnFields, mReturnLinkedFields, mLinkedFields
Dim lPageSize, lSortField

lPageSize = Request.QueryString("pagesize")
If lPageSize = "" Then lPageSize = 10

Set mDataProvider = NewDataProvider("KRMArticles")
mDataProvider.PageSize = lPageSize
mDataProvider.EnableExtraFilters = true
mDataProvider.StyleSheet = Server.MapPath("../xsl/Orders.xsl")
Set mReturnFields = Server.CreateObject("Scripting.Dictionary")

lSortField = Request.QueryString("sort")
Select Case mDataProvider.Kind
	Case "EAI"
		If lSortField = "" Then lSortField = ""
		mDataProvider.KeyFields = Array()
			
			
			
			
	Case "DRAV"
		If lSortField = "" Then lSortField = "ARTICLEID"
		mDataProvider.KeyFields = Array("ARTICLEID")
			
			
			
			
End Select
mDataProvider.SortField = lSortField

If "KRMCustomers" <> "" Then
	Set lLinkedDataProvider = NewDataProvider("KRMCustomers")
	Set mReturnLinkedFields = Server.CreateObject("Scripting.Dictionary")
	Set mLinkedFields = Server.CreateObject("Scripting.Dictionary")
	If mDataProvider.Kind = "EAI" Then
			
			
	Else
			
			
	End If
	mDataProvider.Link lLinkedDataProvider, mLinkedFields, mReturnLinkedFields
End If

mDataProvider.Open mReturnFields

' The page's own functions, written in the HeaderDTC for its criteria:
%>
